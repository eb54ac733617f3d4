// SPDX-License-Identifier: MIT
#include "machine_players.h"

#include "link/grbl_player.h"

namespace chimex {

std::unique_ptr<MachinePlayer> playerFor(GcodeDialect controller, MachineLink& link) {
    switch (controller) {
    case GcodeDialect::Grbl:
        return std::make_unique<GrblPlayer>(link);
    default:
        return nullptr;
    }
}

} // namespace chimex
