// SPDX-License-Identifier: MIT
#include "machine_text.h"
#include "partfile/move_event_reader.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>

namespace chimex {

namespace {

/// The block SAVE_CONFIG appends at the end of printer.cfg; its values override the file's.
constexpr std::array<std::string_view, 3> autosaveHeader = {
    "#*# <---------------------- SAVE_CONFIG ---------------------->",
    "#*# DO NOT EDIT THIS BLOCK OR BELOW. The contents are auto-generated.", "#*#"};
constexpr std::string_view autosavePrefix = "#*#";

struct KlipperLine {
    std::string_view text;
    long long number = 0;
};

bool isAutosaveHeader(const std::vector<MachineText::Line>& lines, std::size_t at) {
    for (std::size_t i = 0; i < autosaveHeader.size(); ++i) {
        if (at + i >= lines.size() || lines[at + i].text != autosaveHeader[i]) {
            return false;
        }
    }
    return true;
}

/// The configuration's lines: the file's own, then those of its SAVE_CONFIG block without their
/// `#*# ` prefix. Klipper ignores the whole block when it finds a `#*# ` line above it or a line
/// below it that lacks the prefix; both are refused, so that the values read are the ones it uses.
std::vector<KlipperLine> configLines(const MachineText& text) {
    const auto& lines = text.lines();
    std::vector<KlipperLine> out;
    std::size_t i = 0;
    for (; i < lines.size() && !isAutosaveHeader(lines, i); ++i) {
        out.push_back({lines[i].text, lines[i].number});
    }
    if (i == lines.size()) {
        return out;
    }
    for (std::size_t j = 0; j < i; ++j) {
        if (lines[j].text.starts_with("#*# ")) {
            text.fail(lines[j].number, "a #*# line above the SAVE_CONFIG block, which makes "
                                       "Klipper ignore the block; remove it");
        }
    }
    for (i += autosaveHeader.size(); i < lines.size(); ++i) {
        const std::string_view line = lines[i].text;
        const bool prefixed = line == autosavePrefix || line.starts_with("#*# ");
        if (!prefixed && !trim(line).empty()) {
            text.fail(lines[i].number, "a line in the SAVE_CONFIG block without its #*# prefix, "
                                       "which makes Klipper ignore the block; move it above");
        }
        out.push_back(
            {prefixed ? line.substr(std::min<std::size_t>(4, line.size())) : "", lines[i].number});
    }
    return out;
}

/// The configuration's values by "[section] option" (options in lower case, as Klipper reads
/// them), each as last given, and the line of each section's first header.
struct KlipperValues {
    std::map<std::string, GivenValue> options;
    std::map<std::string, long long> sections;
};

/// The line without its comment: Klipper cuts every line at `#`, and at `;` at its start or after
/// a blank.
std::string_view withoutComment(std::string_view line) {
    line = line.substr(0, line.find('#'));
    for (std::size_t at = line.find(';'); at != std::string_view::npos;
         at = line.find(';', at + 1)) {
        if (at == 0 || line[at - 1] == ' ' || line[at - 1] == '\t') {
            return line.substr(0, at);
        }
    }
    return line;
}

/// Reads the lines as Python's configparser does for Klipper: `option: value` or
/// `option = value`, a line indented deeper than its option's continuing the value.
KlipperValues valuesOf(const MachineText& text) {
    KlipperValues values;
    std::string section;
    GivenValue* option = nullptr;
    std::size_t indent = 0;
    for (const auto& line : configLines(text)) {
        const auto content = withoutComment(line.text);
        const auto value = trim(content);
        if (value.empty()) {
            continue;
        }
        const std::size_t lineIndent = content.find_first_not_of(" \t");
        if (option && lineIndent > indent) {
            option->text += "\n" + std::string(value);
            continue;
        }
        indent = lineIndent;
        option = nullptr;
        if (value.starts_with('[') && value.find(']') != std::string_view::npos) {
            section = std::string(value.substr(1, value.rfind(']') - 1));
            if (section.starts_with("include ")) {
                text.fail(line.number, shown(value) + ": included files are not read; copy "
                                                      "their sections into this file");
            }
            values.sections.try_emplace(section, line.number);
            continue;
        }
        const auto cut = value.find_first_of(":=");
        if (section.empty() || cut == std::string_view::npos || cut == 0) {
            text.fail(line.number, "this is not a line of a Klipper printer.cfg ([section] or "
                                   "option: value): " +
                                       shown(value));
        }
        const std::string name = "[" + section + "] " + lowerCase(trim(value.substr(0, cut)));
        option = &(values.options[name] =
                       GivenValue{name, std::string(trim(value.substr(cut + 1))), line.number});
    }
    return values;
}

/// Looks the values up, refusing what Klipper itself would refuse for a cartesian printer.
class KlipperReader {
  public:
    explicit KlipperReader(const MachineText& text) : text_(text), values_(valuesOf(text)) {}

    const MachineText& text() const { return text_; }

    /// The line of the section's header; refused when the file has no such section.
    long long section(const std::string& name) const {
        const auto found = values_.sections.find(name);
        if (found == values_.sections.end()) {
            text_.fail(0, "there is no [" + name + "] section, which Klipper requires");
        }
        return found->second;
    }

    std::optional<GivenValue> find(const std::string& section, const std::string& option) const {
        return givenIn(values_.options, "[" + section + "] " + option);
    }

    GivenValue required(const std::string& section, const std::string& option) const {
        if (auto value = find(section, option)) {
            return *value;
        }
        text_.fail(this->section(section),
                   "[" + section + "] " + option + " is missing; Klipper requires it");
    }

    std::optional<double> number(const std::string& section, const std::string& option,
                                 NumberRule rule) const {
        return numberOf(text_, find(section, option), rule);
    }

    /// An option Klipper caps at another's value, which it takes when the option is not given.
    double atMost(const std::string& option, double most, const std::string& mostName) const {
        const auto value = find("printer", option);
        if (!value) {
            return most;
        }
        const double number = numberOf(text_, *value, NumberRule::AboveZero);
        if (number > most) {
            text_.fail(value->line, value->name + " must be at most " + mostName + " (" +
                                        gcodeNumber(most) + "), not " + shown(value->text));
        }
        return number;
    }

  private:
    const MachineText& text_;
    KlipperValues values_;
};

/// Klipper's minimum_cruise_ratio, or for older files the one their max_accel_to_decel stands
/// for (1 - max_accel_to_decel / max_accel, at least 0), or its default 0.5.
double cruiseRatioOf(const KlipperReader& cfg, double maxAccel) {
    if (const auto ratio = cfg.find("printer", "minimum_cruise_ratio")) {
        const double value = numberOf(cfg.text(), *ratio, NumberRule::AtLeastZero);
        if (value >= 1) {
            cfg.text().fail(ratio->line,
                            ratio->name + " must be below 1, not " + shown(ratio->text));
        }
        return value;
    }
    if (const auto toDecel = cfg.number("printer", "max_accel_to_decel", NumberRule::AboveZero)) {
        return 1 - std::min(1.0, *toDecel / maxAccel);
    }
    return SquareCorner{}.minimumCruiseRatio;
}

/// The product of gear_ratio's pairs (`3:1, 2:1` is 6); 1 without it.
double gearRatioOf(const MachineText& text, const std::optional<GivenValue>& given) {
    if (!given) {
        return 1;
    }
    std::string pairs = given->text;
    std::replace(pairs.begin(), pairs.end(), '\n', ' ');
    double ratio = 1;
    std::string_view rest = pairs;
    while (!rest.empty()) {
        const auto comma = std::min(rest.find(','), rest.size());
        const auto pair = trim(rest.substr(0, comma));
        rest.remove_prefix(std::min(comma + 1, rest.size()));
        const auto colon = pair.find(':');
        if (pair.empty()) {
            continue;
        }
        if (colon == std::string_view::npos ||
            pair.find(':', colon + 1) != std::string_view::npos) {
            text.fail(given->line,
                      given->name + " must be pairs such as 3:1, 2:1, not " + shown(given->text));
        }
        const auto part = [&](std::string_view number) {
            return numberOf(text, {given->name, std::string(trim(number)), given->line},
                            NumberRule::AboveZero);
        };
        ratio *= part(pair.substr(0, colon)) / part(pair.substr(colon + 1));
    }
    return ratio;
}

void readStepper(const KlipperReader& cfg, Axis axis, AxisSettings& out) {
    const MachineText& text = cfg.text();
    const std::string section = std::array{"stepper_x", "stepper_y", "stepper_z"}[axisIndex(axis)];
    cfg.section(section);
    constexpr long long mostSteps = 1 << 20;
    const auto rotation = cfg.required(section, "rotation_distance");
    const double distance = numberOf(text, rotation, NumberRule::AboveZero);
    const auto microsteps = wholeNumberOf(text, cfg.required(section, "microsteps"), 1, mostSteps);
    long long fullSteps = 200;
    if (const auto full = cfg.find(section, "full_steps_per_rotation")) {
        fullSteps = wholeNumberOf(text, *full, 1, mostSteps);
        if (fullSteps % 4 != 0) {
            text.fail(full->line,
                      full->name + " must be a multiple of 4, not " + shown(full->text));
        }
    }
    const double steps = static_cast<double>(fullSteps) * static_cast<double>(microsteps) *
                         gearRatioOf(text, cfg.find(section, "gear_ratio")) / distance;
    if (!std::isfinite(steps)) {
        text.fail(rotation.line, rotation.name + " gives more steps per mm than a number holds: " +
                                     shown(rotation.text));
    }
    out.stepsPerUnit = steps;
    out.travelMin = cfg.number(section, "position_min", NumberRule::Any).value_or(0);
    const auto max = cfg.required(section, "position_max");
    out.travelMax = numberOf(text, max, NumberRule::Any);
    checkTravel(text, out, max);
}

} // namespace

/// Klipper's settings are millimetres. Its [printer] limits are the toolhead's: X and Y move at
/// most max_velocity and max_accel, Z at most max_z_velocity and max_z_accel.
MachineSettings readKlipperConfig(const MachineText& text) {
    const KlipperReader cfg(text);
    const auto kinematics = cfg.required("printer", "kinematics");
    if (kinematics.text != "cartesian") {
        text.fail(kinematics.line, kinematics.name + " is " + shown(kinematics.text) +
                                       ": only cartesian printers are read, where X, Y and Z "
                                       "each have motors of their own");
    }
    const double velocity =
        numberOf(text, cfg.required("printer", "max_velocity"), NumberRule::AboveZero);
    const double accel =
        numberOf(text, cfg.required("printer", "max_accel"), NumberRule::AboveZero);
    MachineSettings settings;
    settings.unit = LengthUnit::Millimetre;
    for (const Axis axis : axes) {
        AxisSettings& out = settings.axes[axisIndex(axis)];
        readStepper(cfg, axis, out);
        out.fastestSpeed =
            axis == Axis::Z ? cfg.atMost("max_z_velocity", velocity, "max_velocity") : velocity;
        out.accel = axis == Axis::Z ? cfg.atMost("max_z_accel", accel, "max_accel") : accel;
    }
    SquareCorner corner;
    corner.velocity = cfg.number("printer", "square_corner_velocity", NumberRule::AtLeastZero)
                          .value_or(corner.velocity);
    corner.minimumCruiseRatio = cruiseRatioOf(cfg, accel);
    settings.squareCorner = corner;
    return settings;
}

} // namespace chimex
