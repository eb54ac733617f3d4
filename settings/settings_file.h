// SPDX-License-Identifier: MIT
#pragma once

#include "core/program_state.h"
#include "platform/platform.h"
#include "settings/settings_view.h"

#include <filesystem>

namespace chimex {

inline constexpr const char* settingsFileName = "Chimex.ini";

/// Reads Chimex.ini from the program folder, when it exists, into MaxX..MaxZSpeed and the dialog's
/// fields and check box. Without a file nothing is touched. Throws Failure when reading fails.
void readSettingsFile(ProgramState& state, Platform& platform, SettingsView& view);

/// Replaces Chimex.ini with the six lines for the five settings and the pause state; written
/// beside it and renamed into place. Throws Failure naming the file when that fails.
void writeSettingsFile(const ProgramState& state, Platform& platform, int pauseState);

} // namespace chimex
