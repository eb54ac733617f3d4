// SPDX-License-Identifier: MIT
#include "machine_players.h"

#include "link/grbl_player.h"
#include "link/marlin_player.h"

namespace chimex {

std::unique_ptr<MachinePlayer> playerFor(GcodeDialect controller, MachineLink& link,
                                         const LinuxcncPlayerOptions& linuxcnc) {
    switch (controller) {
    case GcodeDialect::Grbl:
        return std::make_unique<GrblPlayer>(link);
    case GcodeDialect::Marlin:
        return std::make_unique<MarlinPlayer>(link);
    case GcodeDialect::LinuxCnc:
        return std::make_unique<LinuxcncPlayer>(link, linuxcnc);
    default:
        return nullptr;
    }
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
