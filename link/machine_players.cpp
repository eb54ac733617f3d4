// SPDX-License-Identifier: MIT
#include "machine_players.h"

#include "link/grbl_player.h"

namespace chimex {

std::unique_ptr<MachinePlayer> playerFor(GcodeDialect controller, MachineLink& link) {
    if (controller == GcodeDialect::Grbl) {
        return std::make_unique<GrblPlayer>(link);
    }
    return nullptr;
}

bool playerBuiltFor(GcodeDialect controller) {
    struct NoLink : MachineLink {
        void write(std::string_view) override {}
        std::string read(LinkTime) override { return {}; }
        LinkTime now() override { return {}; }
    } none;
    return playerFor(controller, none) != nullptr;
}

} // namespace chimex
