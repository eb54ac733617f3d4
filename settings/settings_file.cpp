// SPDX-License-Identifier: MIT
#include "settings_file.h"

#include "files/atomic_output_file.h"
#include "files/failure.h"
#include "files/own_file.h"
#include "numeric_value.h"
#include "partfile/line_reader.h"
#include "partfile/number_forms.h"
#include "platform/program_folders.h"
#include "setting_keys.h"

#include <array>
#include <cmath>
#include <istream>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>

namespace chimex {

namespace {

/// Far longer than any settings file the program writes; a longer one is not read at all.
constexpr std::size_t longestSettingsFile = 1 << 20;

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

/// What reading found besides the values it applied.
struct Unfit {
    /// Every key given a value that does not fit.
    std::vector<std::string> keys;
    /// Per field, the text of its last value when that value does not fit.
    std::array<std::optional<std::string>, settingKeys.size()> texts;
};

/// Applies one line; a recognised key whose value does not fit in single precision is noted in
/// `unfit` instead.
void applyLine(std::string_view line, ProgramState& state, SettingsView& view, Unfit& unfit) {
    const auto firstCut = line.find('=');
    if (firstCut == std::string_view::npos) {
        return; // no value piece: nothing to apply, whatever the key
    }
    const std::string key = upperCase(trimSpaces(line.substr(0, firstCut)));
    std::string_view value = line.substr(firstCut + 1);
    value = trimSpaces(value.substr(0, value.find('=')));

    // Compared in the order of the file's lines; the first match decides.
    for (const SettingKey& k : settingKeys) {
        if (key == upperCase(k.written)) {
            auto& text = unfit.texts[static_cast<std::size_t>(k.field)];
            if (const auto single = toSingle(numericValue(value))) {
                state.*k.value = *single;
                text.reset();
            } else {
                unfit.keys.emplace_back(k.written);
                text = std::string(value);
            }
            return;
        }
    }
    if (key == upperCase(pauseKey)) {
        if (const auto pause = pauseStateOf(numericValue(value))) {
            view.setPauseState(*pause);
        }
    }
}

} // namespace

std::vector<std::string> readSettings(std::istream& in, ProgramState& state, SettingsView& view) {
    Unfit refused;
    std::string line;
    bool first = true;
    // A line ends at CR LF, CR or LF, so that a file edited on any system reads the same.
    while (std::getline(in, line, '\n')) {
        std::string_view rest = line;
        if (first && rest.starts_with(byteOrderMark)) {
            rest.remove_prefix(byteOrderMark.size());
        }
        first = false;
        for (auto cut = rest.find('\r'); cut != std::string_view::npos; cut = rest.find('\r')) {
            applyLine(rest.substr(0, cut), state, view, refused);
            rest.remove_prefix(cut + 1);
        }
        if (!rest.empty() || line.empty() || line.back() != '\r') {
            applyLine(rest, state, view, refused);
        }
    }
    // A value that does not fit is shown as written, never as a number it was not: closing the
    // dialog then refuses it and names it, as it does when it is typed there.
    for (const SettingKey& k : settingKeys) {
        const auto& text = refused.texts[static_cast<std::size_t>(k.field)];
        view.setFieldText(k.field, text ? *text : plainForm(state.*k.value));
    }
    return refused.keys;
}

std::optional<std::vector<std::string>> readSettingsFile(const std::filesystem::path& path,
                                                         ProgramState& state, SettingsView& view) {
    const auto text = readOrdinaryFile(path, longestSettingsFile);
    if (!text) {
        return std::nullopt;
    }
    std::istringstream lines(*text);
    return readSettings(lines, state, view);
}

void readSettingsStrictly(const std::filesystem::path& path, ProgramState& state,
                          SettingsView& view) {
    const auto refused = readSettingsFile(path, state, view);
    if (!refused) {
        throw InputFailure(path.string(), 0, "the settings file does not exist");
    }
    if (!refused->empty()) {
        throw InputFailure(path.string(), 0,
                           refused->front() + " must be given a number that fits");
    }
    for (const SettingKey& k : settingKeys) {
        if (!usableValue(k.field, state.*k.value)) {
            throw InputFailure(path.string(), 0,
                               std::string(k.written) + " must be given a number above 0");
        }
    }
}

void readSettingsFile(ProgramState& state, const ProgramFiles& files, SettingsView& view) {
    readSettingsFile(settingsFilePath(files.folders()), state, view);
}

void writeSettings(std::ostream& out, const ProgramState& state, int pauseState) {
    for (const SettingKey& k : settingKeys) {
        out << k.written << " = " << plainForm(state.*k.value) << "\r\n";
    }
    out << pauseKey << " = " << pauseState << "\r\n";
}

void writeSettingsFile(const ProgramState& state, const ProgramFiles& files, int pauseState) {
    const auto folder = files.folders().settings;
    const auto path = settingsFilePath(files.folders());
    if (isReadOnly(path)) {
        throw Failure("Cannot save the settings file " + path.string() + ": it is read-only");
    }
    std::error_code error;
    if (somethingAt(path) && !std::filesystem::is_regular_file(path, error)) {
        // A FIFO would block the writer; a folder or a broken link is not the program's file.
        throw Failure("Cannot save the settings file " + path.string() +
                      ": it is not an ordinary file");
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
