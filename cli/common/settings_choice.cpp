// SPDX-License-Identifier: MIT
#include "settings_choice.h"

#include "platform/failure.h"
#include "platform/program_folders.h"
#include "settings/settings_commit.h"
#include "settings/settings_file.h"
#include "settings/settings_view.h"

#include <fstream>

namespace chimex {
namespace {

void readSettingsFrom(const std::filesystem::path& path, ProgramState& state, SettingsView& view) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        throw InputFailure(path.string(), 0, "the settings file does not exist or is not a file");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        throw InputFailure(path.string(), 0, "the settings file cannot be opened");
    }
    readSettings(in, state, view);
    if (in.bad()) {
        throw InputFailure(path.string(), 0, "the settings file cannot be read");
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
            if (choice.pause) {
                fields.setPauseState(1);
            }
            applySettingsFields(state, fields);
        });
}

std::optional<std::filesystem::path> desktopSettingsFile() {
    const auto path =
        findProgramFolders(executableFolder(), userFolders()).settings / settingsFileName;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
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
