// SPDX-License-Identifier: MIT
#pragma once

#include "core/program_state.h"
#include "platform/platform.h"

#include <filesystem>
#include <optional>

namespace chimex {

/// Where the settings come from: a settings file, or the settings dialog's initial values.
struct SettingsChoice {
    std::optional<std::filesystem::path> file; ///< read as Chimex.ini would be
    bool pause = false;                        ///< tick the pause check box
};

/// Brings the program state to where start-up leaves it before the first note: the dialog is
/// loaded with its initial values 96, 48, 6, 3, 2 and an unticked box, the settings file (when
/// chosen) is read into it by the settings file reader, `pause` ticks the box, and the settings
/// commit derives BaseSpeed, resets the extents and sets the pause mode; the fastest speeds are
/// cleared. The commit writes Chimex.ini into platform.programFolder(), which must therefore be
/// a scratch folder. Throws InputFailure when the chosen file cannot be read.
void applySettings(ProgramState& state, Platform& platform, const SettingsChoice& choice);

} // namespace chimex
