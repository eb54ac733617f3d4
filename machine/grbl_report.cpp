// SPDX-License-Identifier: MIT
#include "machine_text.h"
#include "partfile/move_event_reader.h"

#include <charconv>
#include <map>

namespace chimex {

bool isGrblSenderLine(std::string_view line) {
    const bool message =
        line.starts_with('[') && line.ends_with(']') && line.find(':') != std::string_view::npos;
    return line == "$$" || line == "ok" || line.starts_with("Grbl ") || message ||
           (line.starts_with('<') && line.ends_with('>'));
}

namespace {

/// $1 at this value keeps the motors on between moves, so a stop costs no delay.
constexpr long long motorsKeptOn = 255;

/// `$N=V`, blanks allowed around `=`, then an optional `(comment)`; the setting's number.
std::optional<int> settingOf(std::string_view line, std::string_view& value) {
    if (!line.starts_with('$')) {
        return std::nullopt;
    }
    int number = -1;
    const auto read = std::from_chars(line.data() + 1, line.data() + line.size(), number);
    if (read.ec != std::errc() || number < 0) {
        return std::nullopt;
    }
    auto rest = trim(line.substr(static_cast<std::size_t>(read.ptr - line.data())));
    if (!rest.starts_with('=')) {
        return std::nullopt;
    }
    rest.remove_prefix(1);
    const auto comment = rest.find('(');
    if (comment != std::string_view::npos && !rest.ends_with(')')) {
        return std::nullopt;
    }
    value = trim(rest.substr(0, comment));
    return number;
}

} // namespace

/// GRBL reports every setting in millimetres whatever $13 (report in inches) says, which changes
/// only positions and speeds in its status reports. Its travel $130–$132 is a length: after
/// homing GRBL's machine space runs from -$130 to 0 (or from 0 to $130 when built to home to the
/// origin), but G-code runs in work coordinates set by the user, so the travel is given from 0,
/// the work zero at the axis's low end, to $130.
MachineSettings readGrblReport(const MachineText& text) {
    std::map<int, GivenValue> given; // a later report of a setting replaces the earlier one
    for (const auto& line : text.lines()) {
        const auto trimmed = trim(line.text);
        if (trimmed.empty() || isGrblSenderLine(trimmed)) {
            continue;
        }
        std::string_view value;
        const auto number = settingOf(trimmed, value);
        if (!number) {
            text.fail(line.number,
                      "this is not a setting of a GRBL $$ report ($N=VALUE): " + shown(trimmed));
        }
        given[*number] = {"$" + std::to_string(*number), std::string(value), line.number};
    }
    const auto value = [&](int number, NumberRule rule) {
        return numberOf(text, givenIn(given, number), rule);
    };

    MachineSettings settings;
    settings.unit = LengthUnit::Millimetre;
    for (const Axis axis : axes) {
        const int i = static_cast<int>(axisIndex(axis));
        AxisSettings& out = settings.axes[axisIndex(axis)];
        out.stepsPerUnit = value(100 + i, NumberRule::AboveZero);
        if (const auto rate = value(110 + i, NumberRule::AboveZero)) {
            out.fastestSpeed = *rate / 60; // mm/min
        }
        out.accel = value(120 + i, NumberRule::AboveZero);
        if (const auto travel = value(130 + i, NumberRule::AboveZero)) {
            out.travelMin = 0.0;
            out.travelMax = travel;
        }
    }
    settings.junctionDeviation = value(11, NumberRule::AtLeastZero);
    if (const auto idle = givenIn(given, 1)) {
        const long long ms = wholeNumberOf(text, *idle, 0, motorsKeptOn);
        settings.stepIdleDelay = ms == motorsKeptOn ? 0.0 : static_cast<double>(ms) / 1000;
    }
    return settings;
}

} // namespace chimex
