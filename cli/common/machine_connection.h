// SPDX-License-Identifier: MIT
#pragma once

#include "link/link_address.h"
#include "link/machine_player.h"
#include "machine/machine_settings.h"

#include <memory>
#include <optional>
#include <string>

namespace chimex {

/// A machine reached through --machine LINK: its link, its controller's player (started, when
/// connected to play: the machine is ready) and its settings.
struct MachineConnection {
    LinkAddress address;
    std::unique_ptr<MachineLink> link;
    std::unique_ptr<MachinePlayer> player;
    MachineSettings settings;
};

/// How long a controller may take to answer once its link is open (a board that resets when
/// its port opens takes a second or two).
inline constexpr std::chrono::seconds machineAnswerLimit{10};

/// What the machine is reached for.
struct MachineRequest {
    std::string link;                        ///< `grbl:/dev/ttyUSB0`, as --machine gives it
    std::optional<std::string> settingsFile; ///< a second --machine: LinuxCNC's INI
    bool toPlay = false;     ///< the machine must be ready to play, not merely report its settings
    std::string programPath; ///< to play on LinuxCNC: the program's path on its computer
};

/// Opens the link the request names, starts its controller's player and reads the settings it
/// reports; LinuxCNC's come from its INI, which linuxcncrsh cannot report, and which only
/// LinuxCNC takes beside its link. Throws UsageError for a controller it cannot play on, a
/// missing or refused settings file, or when `links` is null; LinkFailure when the link fails,
/// MachineStopped when the machine is not ready to play, InputFailure when a report or the INI
/// cannot be read.
MachineConnection connectMachine(const MachineRequest& request, MachineLinks* links);

} // namespace chimex
