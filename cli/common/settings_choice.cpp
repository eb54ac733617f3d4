// SPDX-License-Identifier: MIT
#include "settings_choice.h"

#include "platform/failure.h"
#include "platform/program_folders.h"
#include "settings/settings_commit.h"
#include "settings/settings_file.h"
#include "settings/settings_view.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>

namespace chimex {
namespace {

/// Lines ended by LF alone get CR LF, as check reads part files, so that a settings file written
/// on this system reads as the user wrote it instead of as one line.
std::string crlfLines(const std::string& text) {
    std::string lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            lines += '\r';
        }
        lines += text[i];
    }
    return lines;
}

void readSettingsFrom(const std::filesystem::path& path, ProgramState& state, SettingsView& view) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        throw InputFailure(path.string(), 0, "the settings file does not exist or is not a file");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        throw InputFailure(path.string(), 0, "the settings file cannot be opened");
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        throw InputFailure(path.string(), 0, "the settings file cannot be read");
    }
    std::istringstream lines(crlfLines(text));
    readSettings(lines, state, view);
}

/// A settings file must give every limit and speed a value above 0: with 0 or less no safe part
/// file can be made, and a missing key reads as 0.
void refuseUnsafeSettings(const ProgramState& state, const std::filesystem::path& file) {
    const std::pair<const char*, float> settings[] = {{"MaxX", state.MaxX},
                                                      {"MaxY", state.MaxY},
                                                      {"MaxZ", state.MaxZ},
                                                      {"MAxXYSpeed", state.MaxXYSpeed},
                                                      {"MAxZSpeed", state.MaxZSpeed}};
    for (const auto& [key, value] : settings) {
        if (!(value > 0)) {
            throw InputFailure(file.string(), 0,
                               std::string(key) + " must be given a number above 0");
        }
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
                refuseUnsafeSettings(state, *choice.file);
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
