// SPDX-License-Identifier: MIT
#include "machine_text.h"
#include "partfile/move_event_reader.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <set>

namespace chimex {

namespace {

/// LinuxCNC joins a line ending in a backslash to the next, at most this many times.
constexpr int mostExtendedLines = 20;

/// The INI's values by "[SECTION] NAME". LinuxCNC takes the first of a name in the first block
/// of its section, so later ones are left out.
using IniValues = std::map<std::string, GivenValue>;

/// The variable line starting at lines[i], with the lines its backslashes join to it; i is left
/// on its last line.
std::string joinedLine(const MachineText& text, std::size_t& i) {
    const auto& lines = text.lines();
    std::string joined = lines[i].text;
    for (int extended = 0; joined.ends_with('\\') && i + 1 < lines.size(); ++extended) {
        if (extended == mostExtendedLines) {
            text.fail(lines[i].number, "more than 20 lines joined by backslashes");
        }
        joined.pop_back();
        joined += lines[++i].text;
    }
    return joined;
}

void keepVariable(std::string_view line, const std::string& section, long long number,
                  IniValues& values) {
    const auto cut = line.find('=');
    if (cut == std::string_view::npos) {
        return; // LinuxCNC finds no value on a line without '='
    }
    const auto key = line.substr(0, std::min(cut, line.find_first_of(" \t")));
    const std::string name = "[" + section + "] " + std::string(key);
    values.try_emplace(name, GivenValue{name, std::string(trim(line.substr(cut + 1))), number});
}

IniValues valuesOf(const MachineText& text) {
    IniValues values;
    std::set<std::string> sections;
    std::string section;
    bool firstBlock = false;
    const auto& lines = text.lines();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const long long number = lines[i].number;
        const auto line = trim(lines[i].text);
        if (line.starts_with("#INCLUDE")) {
            text.fail(number, shown(line) + ": values in included files are not read; copy "
                                            "the file's lines in place of this one");
        }
        if (line.starts_with('[')) {
            section = std::string(line.substr(1, line.find(']') - 1));
            firstBlock = sections.insert(section).second;
            continue;
        }
        // As LinuxCNC does, a comment ending in a backslash takes the next line along.
        const std::string joined = joinedLine(text, i);
        const auto variable = trim(joined);
        if (firstBlock && !variable.starts_with('#') && !variable.starts_with(';')) {
            keepVariable(variable, section, number, values);
        }
    }
    return values;
}

/// Reads the values the settings are made of, each refused by name where it cannot be used.
class IniReader {
  public:
    explicit IniReader(const MachineText& text) : text_(text), values_(valuesOf(text)) {}

    /// The whole value, refused when it names another value of the file instead.
    std::optional<GivenValue> find(const std::string& section, const std::string& key) const {
        const auto found = values_.find("[" + section + "] " + key);
        if (found == values_.end() || found->second.text.empty()) {
            return std::nullopt; // LinuxCNC finds no value after a bare '=' either
        }
        if (found->second.text.starts_with('[')) {
            text_.fail(found->second.line,
                       found->second.name + " is given as " + shown(found->second.text) +
                           ", another value of the file; write the number itself");
        }
        return found->second;
    }

    /// The value's first word as a number; LinuxCNC ignores what follows it.
    std::optional<double> number(const std::string& section, const std::string& key,
                                 NumberRule rule) const {
        auto value = find(section, key);
        if (!value) {
            return std::nullopt;
        }
        value->text = std::string(wordsOf(value->text).front());
        return numberOf(text_, *value, rule);
    }

    const MachineText& text() const { return text_; }

  private:
    const MachineText& text_;
    IniValues values_;
};

std::optional<LengthUnit> unitOf(const IniReader& ini) {
    const auto value = ini.find("TRAJ", "LINEAR_UNITS");
    if (!value) {
        return std::nullopt;
    }
    const std::string name = lowerCase(value->text);
    if (name == "mm" || name == "metric") {
        return LengthUnit::Millimetre;
    }
    if (name == "in" || name == "inch" || name == "imperial") {
        return LengthUnit::Inch;
    }
    ini.text().fail(value->line, value->name + " must be mm or inch, not " + shown(value->text));
}

/// The lesser of an axis's limit and the [TRAJ] limit on every move.
std::optional<double> cappedBy(std::optional<double> axis, std::optional<double> traj) {
    return axis && traj ? std::optional(std::min(*axis, *traj)) : axis;
}

void readAxis(const IniReader& ini, Axis axis, AxisSettings& out) {
    const std::string section = std::string("AXIS_") + axisLetter(axis);
    out.fastestSpeed = cappedBy(ini.number(section, "MAX_VELOCITY", NumberRule::AboveZero),
                                ini.number("TRAJ", "MAX_LINEAR_VELOCITY", NumberRule::AboveZero));
    out.accel = cappedBy(ini.number(section, "MAX_ACCELERATION", NumberRule::AboveZero),
                         ini.number("TRAJ", "MAX_LINEAR_ACCELERATION", NumberRule::AboveZero));
    out.travelMin = ini.number(section, "MIN_LIMIT", NumberRule::Any);
    out.travelMax = ini.number(section, "MAX_LIMIT", NumberRule::Any);
    if (out.travelMin && out.travelMax) {
        checkTravel(ini.text(), out, *ini.find(section, "MAX_LIMIT"));
    }
}

/// The axis letter of each joint: trivkins's `coordinates=` (all nine axes by default, so
/// joints 0, 1, 2 are X, Y, Z). Nothing for another kinematics, whose joints are not the axes.
std::optional<std::string> jointLetters(const std::optional<GivenValue>& kins) {
    std::string letters = "XYZABCUVW";
    if (!kins) {
        return letters;
    }
    const auto words = wordsOf(kins->text);
    for (const auto word : words) {
        if (lowerCase(word).starts_with("coordinates=")) {
            letters = word.substr(12);
            std::transform(letters.begin(), letters.end(), letters.begin(),
                           [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        }
    }
    return words.front() == "trivkins" ? std::optional(letters) : std::nullopt;
}

/// Steps per unit from the joints' SCALE (STEP_SCALE in files made by PnCconf), whose sign only
/// sets the direction. Joints that drive one axis together must agree.
void readJointSteps(const IniReader& ini, MachineSettings& settings) {
    constexpr int mostJoints = 16;
    const auto kins = ini.find("KINS", "KINEMATICS");
    const auto letters = jointLetters(kins);
    std::array<std::string, 3> givenBy{};
    for (int joint = 0; joint < mostJoints; ++joint) {
        const std::string section = "JOINT_" + std::to_string(joint);
        const char* key = ini.find(section, "SCALE") ? "SCALE" : "STEP_SCALE";
        const auto scale = ini.number(section, key, NumberRule::NotZero);
        if (!scale) {
            continue;
        }
        if (!letters) {
            ini.text().fail(kins->line, kins->name + " is " + shown(kins->text) +
                                            ": joint steps are read only for trivkins, whose "
                                            "joints are the axes");
        }
        const auto axis = std::string_view("XYZ").find(
            static_cast<std::size_t>(joint) < letters->size() ? (*letters)[joint] : '-');
        if (axis == std::string_view::npos) {
            continue;
        }
        auto& steps = settings.axes[axis].stepsPerUnit;
        const std::string name = "[" + section + "] " + key;
        if (steps && *steps != std::fabs(*scale)) {
            const auto given = ini.find(section, key);
            ini.text().fail(given->line, name + " differs from " + givenBy[axis] +
                                             ", though both joints drive " +
                                             std::string(1, "XYZ"[axis]));
        }
        steps = std::fabs(*scale);
        givenBy[axis] = name;
    }
}

/// `[KINS] JOINTS`: how many joints the machine has, each homed before it may move.
std::optional<int> jointsOf(const IniReader& ini) {
    const auto value = ini.find("KINS", "JOINTS");
    if (!value) {
        return std::nullopt;
    }
    const auto word = wordsOf(value->text).front();
    if (word.size() != 1 || word[0] < '1' || word[0] > '9') {
        ini.text().fail(value->line,
                        value->name + " must be a whole number from 1 to 9, not " + shown(word));
    }
    return word[0] - '0';
}

} // namespace

MachineSettings readLinuxCncIni(const MachineText& text) {
    const IniReader ini(text);
    MachineSettings settings;
    settings.unit = unitOf(ini);
    for (const Axis axis : axes) {
        readAxis(ini, axis, settings.axes[axisIndex(axis)]);
    }
    readJointSteps(ini, settings);
    if (const auto ns = ini.number("EMCMOT", "SERVO_PERIOD", NumberRule::AboveZero)) {
        settings.servoPeriod = *ns / 1e9;
    }
    settings.taskCycleTime = ini.number("TASK", "CYCLE_TIME", NumberRule::AboveZero);
    settings.joints = jointsOf(ini);
    return settings;
}

} // namespace chimex
