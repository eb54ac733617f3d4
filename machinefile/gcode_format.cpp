// SPDX-License-Identifier: MIT
#include "gcode_format.h"

#include "partfile/line_texts.h"
#include "partfile/part_file_reader.h"

#include <algorithm>
#include <charconv>

namespace chimex {

std::optional<GcodeDialect> dialectNamed(std::string_view name) {
    if (name == "grbl") {
        return GcodeDialect::Grbl;
    }
    if (name == "linuxcnc") {
        return GcodeDialect::LinuxCnc;
    }
    if (name == "marlin") {
        return GcodeDialect::Marlin;
    }
    if (name == "klipper") {
        return GcodeDialect::Klipper;
    }
    return std::nullopt;
}

std::string_view dialectName(GcodeDialect dialect) {
    switch (dialect) {
    case GcodeDialect::Grbl:
        return "GRBL";
    case GcodeDialect::LinuxCnc:
        return "LinuxCNC";
    case GcodeDialect::Marlin:
        return "Marlin";
    case GcodeDialect::Klipper:
        return "Klipper";
    }
    return "";
}

bool commentsAfterSemicolon(GcodeDialect dialect) {
    return dialect == GcodeDialect::Marlin || dialect == GcodeDialect::Klipper;
}

bool printerFirmware(GcodeDialect dialect) {
    return commentsAfterSemicolon(dialect);
}

namespace {

constexpr std::array<std::string_view, 3> velocityLimitWords = {
    "ACCEL=", "SQUARE_CORNER_VELOCITY=", "MINIMUM_CRUISE_RATIO="};

} // namespace

std::string velocityLimitLine(const KlipperVelocityLimit& limit) {
    const std::array<double, 3> values = {limit.accel, limit.squareCornerVelocity,
                                          limit.minimumCruiseRatio};
    std::string text(velocityLimitCommand);
    for (std::size_t i = 0; i < values.size(); ++i) {
        text += " " + std::string(velocityLimitWords[i]) + gcodeNumber(values[i]);
    }
    return text;
}

std::optional<KlipperVelocityLimit> readVelocityLimitLine(std::string_view line) {
    if (!line.starts_with(velocityLimitCommand)) {
        return std::nullopt;
    }
    line.remove_prefix(velocityLimitCommand.size());
    std::array<double, 3> values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!line.starts_with(" ") || !line.substr(1).starts_with(velocityLimitWords[i])) {
            return std::nullopt;
        }
        line.remove_prefix(1 + velocityLimitWords[i].size());
        const std::string_view number = line.substr(0, line.find(' '));
        const auto value = readPartNumber(number);
        if (!value || number.find_first_of("eE") != std::string_view::npos) {
            return std::nullopt;
        }
        values[i] = *value;
        line.remove_prefix(number.size());
    }
    if (!line.empty()) {
        return std::nullopt;
    }
    return KlipperVelocityLimit{values[0], values[1], values[2]};
}

namespace {

/// What GRBL does at once on a character wherever it stands in the stream, or nothing.
std::string_view grblRealTimeAction(char c) {
    return c == '!' ? "feed hold" : c == '~' ? "cycle start" : c == '?' ? "status report" : "";
}

} // namespace

std::optional<std::string> characterProblem(std::string_view line, GcodeDialect dialect) {
    const bool grbl = dialect == GcodeDialect::Grbl;
    if (line.find('\r') != std::string_view::npos) {
        return "a carriage return (CR) inside the line, where LinuxCNC reads on as one line and "
               "GRBL and Marlin end it; end lines with CR LF or LF";
    }
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F) {
            return grbl ? "a byte outside printable ASCII, which GRBL takes as a command at once "
                          "or drops, even in a comment"
                        : "a character outside printable ASCII";
        }
        if (grbl && !grblRealTimeAction(c).empty()) {
            return "GRBL acts on '" + std::string(1, c) +
                   "' at once wherever it stands, even in a comment (" +
                   std::string(grblRealTimeAction(c)) + ")";
        }
    }
    return std::nullopt;
}

std::optional<WrittenComment> writtenComment(std::string_view text) {
    using Kind = WrittenComment::Kind;
    for (const auto dialect : {GcodeDialect::Grbl, GcodeDialect::LinuxCnc, GcodeDialect::Marlin,
                               GcodeDialect::Klipper}) {
        if (text.starts_with(gcodeFirstComment) &&
            text.substr(gcodeFirstComment.size()) == dialectName(dialect)) {
            return WrittenComment{Kind::First, dialect, 0, {}};
        }
    }
    if (text == gcodeLastComment) {
        return WrittenComment{Kind::Last, {}, 0, {}};
    }
    if (std::ranges::find(gcodeWarningTexts, text) != gcodeWarningTexts.end() ||
        std::ranges::find(gcodeStopTexts, text) != gcodeStopTexts.end() ||
        std::ranges::find(gcodeKlipperStartTexts, text) != gcodeKlipperStartTexts.end() ||
        std::ranges::find(gcodeKlipperLimitTexts, text) != gcodeKlipperLimitTexts.end()) {
        return WrittenComment{};
    }
    if (TimedFor stated; readTimedForText(text, stated)) {
        return WrittenComment{Kind::TimedFor, {}, 0, {}};
    }
    for (std::size_t i = 0; i < gcodeHeaderTexts.size(); ++i) {
        if (!text.starts_with(gcodeHeaderTexts[i])) {
            continue;
        }
        const std::string_view rest = text.substr(gcodeHeaderTexts[i].size());
        const std::string_view number = rest.substr(0, rest.find(' '));
        const std::string_view unit = rest.substr(number.size());
        const bool feed = i >= static_cast<std::size_t>(HeaderItem::FastestXY);
        const bool unitWritten = feed ? unit == gcodeFeedUnit(LengthUnit::Millimetre) ||
                                            unit == gcodeFeedUnit(LengthUnit::Inch)
                                      : unit.empty();
        if (!unitWritten) {
            return std::nullopt;
        }
        return WrittenComment{Kind::HeaderValue, {}, i, number};
    }
    return std::nullopt;
}

std::string gcodeNumber(double value, int decimals) {
    char buffer[400]; // the largest double has 309 digits before the point
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals)
            .ptr;
    std::string text(buffer, end);
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') {
            text.pop_back();
        }
    }
    return text == "-0" ? "0" : text;
}

double speedOfFeed(double feed) {
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, static_cast<float>(feed / 60)).ptr;
    double speed = 0;
    std::from_chars(text, end, speed);
    return speed;
}

std::string gcodeFeedText(double speed, int decimals) {
    return gcodeNumber(speed * 60, decimals);
}

double speedAsWritten(double speed) {
    const std::string text = gcodeFeedText(speed);
    double feed = 0;
    std::from_chars(text.data(), text.data() + text.size(), feed);
    return speedOfFeed(feed);
}

} // namespace chimex
