// SPDX-License-Identifier: MIT
#include "files/failure.h"
#include "files/own_file.h"
#include "machine_text.h"
#include "partfile/move_event_reader.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace chimex {

namespace {

constexpr const char* noneOfTheKinds =
    "is none of a GRBL $$ report, a LinuxCNC INI file, a Marlin M503 report or a Klipper "
    "printer.cfg";

bool startsWithDigitAfter(std::string_view line, std::size_t at) {
    return line.size() > at && std::isdigit(static_cast<unsigned char>(line[at]));
}

/// A line that tells no kind apart: blank, a comment of any of them, or a sender's line around
/// a GRBL report.
bool tellsNothing(std::string_view line) {
    return line.empty() || line.starts_with('#') || line.starts_with(';') || isGrblSenderLine(line);
}

/// The kind a line gives away, if any: `$N=` is GRBL's, `echo:` and commands are Marlin's, and
/// a section is Klipper's when its name has a lower-case letter (LinuxCNC's are upper-case).
std::optional<GcodeDialect> kindOfLine(std::string_view line) {
    if (line.starts_with('$') && startsWithDigitAfter(line, 1)) {
        return GcodeDialect::Grbl;
    }
    if (line.starts_with("echo:") ||
        ((line.starts_with('M') || line.starts_with('G')) && startsWithDigitAfter(line, 1))) {
        return GcodeDialect::Marlin;
    }
    if (line.starts_with('[')) {
        const auto name = line.substr(1, line.find(']') - 1);
        const bool lower = std::any_of(name.begin(), name.end(), [](char c) {
            return std::islower(static_cast<unsigned char>(c));
        });
        return lower ? GcodeDialect::Klipper : GcodeDialect::LinuxCnc;
    }
    return std::nullopt;
}

GcodeDialect kindOf(const MachineText& text) {
    for (const auto& line : text.lines()) {
        const auto trimmed = trim(line.text);
        if (tellsNothing(trimmed)) {
            continue;
        }
        if (const auto kind = kindOfLine(trimmed)) {
            return *kind;
        }
        text.fail(line.number, std::string("this line ") + noneOfTheKinds);
    }
    text.fail(0, std::string("the file holds no settings: it ") + noneOfTheKinds);
}

bool givesAnyAxisValue(const MachineSettings& settings) {
    return std::any_of(settings.axes.begin(), settings.axes.end(), [](const AxisSettings& axis) {
        return axis.stepsPerUnit || axis.fastestSpeed || axis.accel || axis.travelMin ||
               axis.travelMax;
    });
}

} // namespace

MachineSettings readMachineSettings(std::istream& in, const std::string& file) {
    const MachineText text(in, file);
    const GcodeDialect kind = kindOf(text);
    MachineSettings settings;
    switch (kind) {
    case GcodeDialect::Grbl:
        settings = readGrblReport(text);
        break;
    case GcodeDialect::LinuxCnc:
        settings = readLinuxCncIni(text);
        break;
    case GcodeDialect::Marlin:
        settings = readMarlinReport(text);
        break;
    case GcodeDialect::Klipper:
        settings = readKlipperConfig(text);
        break;
    }
    settings.controller = kind;
    if (!givesAnyAxisValue(settings)) {
        text.fail(0, "the " + std::string(dialectName(kind)) +
                         " settings give none of the axes' steps, speeds, accelerations or "
                         "travel");
    }
    return settings;
}

MachineSettings readMachineFile(const std::filesystem::path& path) {
    const auto content = readOrdinaryFile(path, longestMachineFile);
    if (!content) {
        throw InputFailure(path.string(), 0, "the machine file does not exist");
    }
    std::istringstream in(*content);
    return readMachineSettings(in, path.string());
}

} // namespace chimex
