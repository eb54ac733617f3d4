// SPDX-License-Identifier: MIT
#include "settings_choice.h"

#include "files/own_file.h"
#include "platform/program_folders.h"
#include "settings/settings_commit.h"
#include "settings/settings_file.h"
#include "settings/settings_view.h"

#include <string>

namespace chimex {

void applySettings(ProgramState& state, const SettingsChoice& choice) {
    SettingsFields fields;
    settleSettings(
        state,
        [&] {
            settingsDialogLoaded(state);
            if (choice.file) {
                readSettingsStrictly(*choice.file, state, fields);
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
    const auto path = settingsFilePath(findProgramFolders(executableFolder(), userFolders()));
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
