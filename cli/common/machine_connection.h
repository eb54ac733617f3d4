// SPDX-License-Identifier: MIT
#pragma once

#include "link/link_address.h"
#include "link/machine_player.h"
#include "machine/machine_settings.h"

#include <memory>
#include <string>

namespace chimex {

/// A machine reached through --machine LINK: its link, its controller's player (started: the
/// machine is ready to play) and the settings it reported.
struct MachineConnection {
    LinkAddress address;
    std::unique_ptr<MachineLink> link;
    std::unique_ptr<MachinePlayer> player;
    MachineSettings settings;
};

/// How long a controller may take to answer once its link is open (a board that resets when
/// its port opens takes a second or two).
inline constexpr std::chrono::seconds machineAnswerLimit{10};

/// Opens the link `text` names (`grbl:/dev/ttyUSB0`), starts its controller's player and reads
/// the settings it reports. Throws UsageError for a controller it cannot play on yet or when
/// `links` is null, LinkFailure when the link fails, MachineStopped when the machine is not
/// ready (in alarm, busy), InputFailure when its report cannot be read.
MachineConnection connectMachine(const std::string& text, MachineLinks* links);

} // namespace chimex
