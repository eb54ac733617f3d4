// SPDX-License-Identifier: MIT
#pragma once

#include "core/program_state.h"
#include "platform/dialogs.h"
#include "platform/program_files.h"
#include "settings/settings_view.h"

#include <array>
#include <functional>
#include <string>

namespace chimex {

/// The settings dialog's load step: PauseMode = -1.
void settingsDialogLoaded(ProgramState& state);

/// The dialog's fields into the state: the five settings, BaseSpeed from MaxXYSpeed, the extents
/// reset, PauseMode 1 when the box is checked. Writes nothing. Every number that fits in single
/// precision is taken, zero and negative included, except a MaxXYSpeed not above 0. A field not
/// taken gets the value of its text in `opened` (the texts the dialog opened with), or its initial
/// value when that is not taken either; the result then names each such field and the value it
/// keeps, for the user (empty when every field was taken).
std::string applySettingsFields(ProgramState& state, SettingsView& view,
                                const std::array<std::string, 5>& opened);

/// Runs when the settings dialog closes, however it closes: applySettingsFields, a message naming
/// the fields not taken, then the settings file written. Throws Failure when the file cannot be
/// written.
void commitSettings(ProgramState& state, Dialogs& dialogs, const ProgramFiles& files,
                    SettingsView& view, const std::array<std::string, 5>& opened);

/// The settings steps between start-up and the first note, in order: `read` loads the settings
/// dialog and reads the settings file into it, `close` stands for the dialog's time on screen and
/// ends with the commit, then the fastest speeds are cleared. The desktop program shows the
/// dialog; chimex-cli and the tests only tick its box.
void settleSettings(ProgramState& state, const std::function<void()>& read,
                    const std::function<void()>& close);

} // namespace chimex
