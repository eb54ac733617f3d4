// SPDX-License-Identifier: MIT
#include "machine_text.h"
#include "partfile/move_event_reader.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace chimex {

namespace {

/// The words of a report's commands by command and letter ("M92 X"), each as last reported.
using ReportWords = std::map<std::string, GivenValue>;

bool isCommand(std::string_view line) {
    return line.size() > 1 && (line[0] == 'M' || line[0] == 'G') &&
           std::isdigit(static_cast<unsigned char>(line[1]));
}

void readCommand(const MachineText& text, std::string_view line, long long number,
                 ReportWords& words) {
    const auto parts = wordsOf(line);
    const std::string command(parts.front());
    if (command == "G20") {
        text.fail(number, "G20: the report gives its values in inches; send G21, then M503 "
                          "again, to have them in millimetres as Marlin keeps them");
    }
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const std::string name = command + " " + std::string(parts[i].substr(0, 1));
        words[name] = {name, std::string(parts[i].substr(1)), number};
    }
}

ReportWords wordsOfReport(const MachineText& text) {
    ReportWords words;
    for (const auto& line : text.lines()) {
        auto rest = trim(line.text);
        const bool echoed = rest.starts_with("echo:");
        if (echoed) {
            rest.remove_prefix(5);
        }
        rest = trim(rest.substr(0, rest.find(';')));
        if (isCommand(rest)) {
            readCommand(text, rest, line.number, words);
        } else if (!rest.empty() && rest != "ok" && !echoed) {
            // Echoed text without a command is one of the report's headings.
            text.fail(line.number,
                      "this is not a line of a Marlin M503 report: " + shown(trim(line.text)));
        }
    }
    return words;
}

/// The acceleration a G1 without extrusion starts from: M204 T (travel) where the report has
/// Marlin 1.1's P/R/T form, else Marlin 1.0's M204 S, which was its only one (its T was the
/// retraction's).
const GivenValue* travelAccel(const MachineText& text, const ReportWords& words) {
    const bool travelForm = words.contains("M204 P") || words.contains("M204 R");
    const auto found = words.find(travelForm ? "M204 T" : "M204 S");
    if (found != words.end()) {
        return &found->second;
    }
    if (travelForm) {
        text.fail(words.at(words.contains("M204 P") ? "M204 P" : "M204 R").line,
                  "M204 has no T, the travel acceleration a G1 without extrusion ramps at");
    }
    return nullptr;
}

/// A G1 of one axis ramps at the travel acceleration, at most that axis's M201.
std::optional<double> accelOf(const MachineText& text, const ReportWords& words,
                              const std::string& axisLimit, const GivenValue* travel) {
    const auto limit = words.find(axisLimit);
    if (limit == words.end() && !travel) {
        return std::nullopt;
    }
    if (limit == words.end()) {
        text.fail(travel->line,
                  travel->name + " is given without " + axisLimit + ", the axis's own limit on it");
    }
    if (!travel) {
        text.fail(limit->second.line,
                  axisLimit + " is given without M204, the travel acceleration it limits");
    }
    return std::min(numberOf(text, limit->second, NumberRule::AboveZero),
                    numberOf(text, *travel, NumberRule::AboveZero));
}

std::optional<double> junctionDeviationOf(const MachineText& text, const ReportWords& words) {
    if (const auto j = givenIn(words, std::string("M205 J"))) {
        return numberOf(text, *j, NumberRule::AtLeastZero);
    }
    for (const char* jerk : {"M205 X", "M205 Y"}) {
        if (const auto found = words.find(jerk); found != words.end()) {
            text.fail(found->second.line,
                      std::string(jerk) + ": Marlin is set for classic jerk, a corner rule that "
                                          "is not modelled; only junction deviation (M205 J) is");
        }
    }
    return std::nullopt;
}

} // namespace

/// Marlin keeps its settings in millimetres and reports them so after G21; it does not report
/// its travel.
MachineSettings readMarlinReport(const MachineText& text) {
    const ReportWords words = wordsOfReport(text);
    const auto value = [&](const std::string& name) {
        return numberOf(text, givenIn(words, name), NumberRule::AboveZero);
    };
    MachineSettings settings;
    settings.unit = LengthUnit::Millimetre;
    const GivenValue* travel = travelAccel(text, words);
    for (const Axis axis : axes) {
        const std::string letter = axisLetter(axis);
        AxisSettings& out = settings.axes[axisIndex(axis)];
        out.stepsPerUnit = value("M92 " + letter);
        out.fastestSpeed = value("M203 " + letter); // mm/s
        out.accel = accelOf(text, words, "M201 " + letter, travel);
    }
    settings.junctionDeviation = junctionDeviationOf(text, words);
    return settings;
}

} // namespace chimex
