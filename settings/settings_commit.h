// SPDX-License-Identifier: MIT
#pragma once

#include "core/program_state.h"
#include "platform/platform.h"
#include "settings/settings_view.h"

namespace chimex {

/// The settings dialog's load step: PauseMode = -1.
void settingsDialogLoaded(ProgramState& state);

/// Runs when the settings dialog closes, however it closes: the five fields into the settings,
/// BaseSpeed = MaxXYSpeed / 8.2, extents reset, PauseMode 1 when the box is checked, then the
/// settings file written. Throws Failure when the file cannot be written.
void commitSettings(ProgramState& state, Platform& platform, SettingsView& view);

} // namespace chimex
