// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/machine_limits.h"
#include "core/program_state.h"

#include <filesystem>
#include <optional>

namespace chimex {

/// Where the settings come from: a settings file, or the settings dialog's initial values.
struct SettingsChoice {
    std::optional<std::filesystem::path> file; ///< read as Chimex.ini would be
    bool pause = false;                        ///< tick the pause check box
    /// Travel and fastest speeds of the machine (--machine): each setting takes the smaller.
    std::optional<MachineLimits> machineBound;
};

/// Brings the program state to where start-up leaves it before the first note, by the same
/// settings steps as the desktop program: the dialog's fields start with their initial values,
/// the chosen settings file is read into them, `pause` ticks the box, the fields are applied and
/// the fastest speeds cleared. With a machine bound, a setting above it takes the bound's value
/// as if typed into its field. Nothing is written. Throws InputFailure naming the settings file
/// when it cannot be read.
void applySettings(ProgramState& state, const SettingsChoice& choice);

/// The desktop program's Chimex.ini, found from chimex-cli's own folder by the desktop program's
/// rule; nothing when there is none.
std::optional<std::filesystem::path> desktopSettingsFile();

/// The limits the chosen settings give (the dialog's initial values when no file is chosen).
MachineLimits machineLimits(const SettingsChoice& choice = {});

} // namespace chimex
