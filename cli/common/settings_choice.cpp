// SPDX-License-Identifier: MIT
#include "settings_choice.h"

#include "files/failure.h"
#include "files/own_file.h"
#include "platform/program_folders.h"
#include "settings/settings_commit.h"
#include "settings/settings_file.h"
#include "settings/settings_view.h"

#include <string>

namespace chimex {
namespace {

/// Reads the chosen settings file by the desktop program's own reader and refuses what the
/// desktop dialog would not take: a value that does not fit, or a MAxXYSpeed not above 0 (a
/// missing key reads as 0), which makes every key's speed 0 or negative.
void readSettingsFrom(const std::filesystem::path& path, ProgramState& state, SettingsView& view) {
    const auto refused = readSettingsFile(path, state, view);
    if (!refused) {
        throw InputFailure(path.string(), 0, "the settings file does not exist");
    }
    if (!refused->empty()) {
        throw InputFailure(path.string(), 0,
                           refused->front() + " must be given a number that fits");
    }
    if (!(state.MaxXYSpeed > 0)) {
        throw InputFailure(path.string(), 0, "MAxXYSpeed must be given a number above 0");
    }
}

} // namespace

void applySettings(ProgramState& state, const SettingsChoice& choice) {
    SettingsFields fields;
    settleSettings(
        state,
        [&] {
            settingsDialogLoaded(state);
            if (choice.file) {
                readSettingsFrom(*choice.file, state, fields);
            }
        },
        [&] {
            const auto opened = fieldTexts(fields);
            if (choice.pause) {
                fields.setPauseState(1);
            }
            applySettingsFields(state, fields, opened);
        });
}

std::optional<std::filesystem::path> desktopSettingsFile() {
    const auto path =
        findProgramFolders(executableFolder(), userFolders()).settings / settingsFileName;
    // Whatever stands there is read, so that a folder, FIFO or broken link is refused with its
    // reason instead of silently giving the initial limits.
    if (!somethingAt(path)) {
        return std::nullopt;
    }
    return path;
}

MachineLimits machineLimits(const SettingsChoice& choice) {
    ProgramState state;
    applySettings(state, choice);
    return limitsOf(state);
}

} // namespace chimex
