// SPDX-License-Identifier: MIT
#pragma once

#include "link/link_address.h"
#include "link/linuxcnc_player.h"
#include "link/machine_player.h"

#include <memory>

namespace chimex {

/// The player for the controller `controller` over `link`; `linuxcnc` is what LinuxCNC's player
/// needs beside its link (the program's path on its computer). Nothing for a controller whose
/// player is not built yet.
std::unique_ptr<MachinePlayer> playerFor(GcodeDialect controller, MachineLink& link,
                                         const LinuxcncPlayerOptions& linuxcnc = {});

/// Whether playerFor gives a player for `controller`, asked before its link is opened.
bool playerBuiltFor(GcodeDialect controller);

} // namespace chimex
