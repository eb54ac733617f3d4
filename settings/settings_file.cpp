// SPDX-License-Identifier: MIT
#include "settings_file.h"

#include "numeric_value.h"
#include "partfile/atomic_output_file.h"
#include "partfile/number_forms.h"
#include "platform/failure.h"
#include "platform/program_folders.h"

#include <cerrno>
#include <cmath>
#include <fstream>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>

namespace chimex {

namespace {

struct Key {
    const char* name;
    float ProgramState::*setting;
};

/// The recognised keys in the order they are compared; ADDPAUSE, the sixth, sets the check box.
constexpr Key settingKeys[] = {{"MAXX", &ProgramState::MaxX},
                               {"MAXY", &ProgramState::MaxY},
                               {"MAXZ", &ProgramState::MaxZ},
                               {"MAXXYSPEED", &ProgramState::MaxXYSpeed},
                               {"MAXZSPEED", &ProgramState::MaxZSpeed}};

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

std::string_view trimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string upperCase(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

/// The check box state an ADDPAUSE value stands for: rounded half to even, and only 0, 1 or 2.
std::optional<int> pauseStateOf(double value) {
    const double rounded = std::nearbyint(value);
    if (!(rounded >= 0 && rounded <= 2)) {
        return std::nullopt;
    }
    return static_cast<int>(rounded);
}

void applyLine(std::string_view line, ProgramState& state, SettingsView& view) {
    const auto firstCut = line.find('=');
    if (firstCut == std::string_view::npos) {
        return; // no value piece: nothing to apply, whatever the key
    }
    const std::string key = upperCase(trimSpaces(line.substr(0, firstCut)));
    std::string_view value = line.substr(firstCut + 1);
    value = trimSpaces(value.substr(0, value.find('=')));

    for (const auto& k : settingKeys) {
        if (key == k.name) {
            if (const auto single = settingValue(numericValue(value))) {
                state.*k.setting = *single;
            }
            return;
        }
    }
    if (key == "ADDPAUSE") {
        if (const auto pause = pauseStateOf(numericValue(value))) {
            view.setPauseState(*pause);
        }
    }
}

std::string errorText() {
    return reasonText(errno);
}

} // namespace

void readSettings(std::istream& in, ProgramState& state, SettingsView& view) {
    std::string line;
    bool first = true;
    while (std::getline(in, line, '\r')) {
        if (in.peek() == '\n') {
            in.get();
        }
        std::string_view text = line;
        if (first && text.starts_with(byteOrderMark)) {
            text.remove_prefix(byteOrderMark.size());
        }
        first = false;
        applyLine(text, state, view);
    }
    view.setFieldText(SettingsField::MaxX, plainForm(state.MaxX));
    view.setFieldText(SettingsField::MaxY, plainForm(state.MaxY));
    view.setFieldText(SettingsField::MaxZ, plainForm(state.MaxZ));
    view.setFieldText(SettingsField::MaxXYSpeed, plainForm(state.MaxXYSpeed));
    view.setFieldText(SettingsField::MaxZSpeed, plainForm(state.MaxZSpeed));
}

void readSettingsFile(ProgramState& state, Platform& platform, SettingsView& view) {
    const auto path = platform.folders().settings / settingsFileName;
    if (!platform.fileExists(path)) {
        return;
    }
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        throw InputFailure("Cannot open the settings file " + path.string() +
                           " for reading: " + errorText());
    }
    readSettings(in, state, view);
    if (in.bad()) {
        throw InputFailure("Cannot read the settings file " + path.string());
    }
}

void writeSettings(std::ostream& out, const ProgramState& state, int pauseState) {
    out << "MaxX = " << plainForm(state.MaxX) << "\r\n";
    out << "MaxY = " << plainForm(state.MaxY) << "\r\n";
    out << "MaxZ = " << plainForm(state.MaxZ) << "\r\n";
    out << "MAxXYSpeed = " << plainForm(state.MaxXYSpeed) << "\r\n";
    out << "MAxZSpeed = " << plainForm(state.MaxZSpeed) << "\r\n";
    out << "ADdPause = " << pauseState << "\r\n";
}

void writeSettingsFile(const ProgramState& state, Platform& platform, int pauseState) {
    const auto folder = platform.folders().settings;
    const auto path = folder / settingsFileName;
    if (isReadOnly(path)) {
        throw Failure("Cannot save the settings file " + path.string() + ": it is read-only");
    }
    // Written beside Chimex.ini and renamed over it, so a crash never leaves it half written.
    try {
        createFolder(folder);
        AtomicOutputFile out(path);
        writeSettings(out.stream(), state, pauseState);
        out.commit();
    } catch (const Failure& failure) {
        throw Failure("Cannot save the settings file " + path.string() + ": " + failure.what());
    }
}

} // namespace chimex
