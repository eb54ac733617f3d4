// SPDX-License-Identifier: MIT
#include "grbl_replies.h"

#include "link/number_text.h"

namespace chimex {

namespace {

constexpr std::array<std::string_view, 9> stateNames = {"Idle", "Run",   "Hold", "Jog",  "Alarm",
                                                        "Door", "Check", "Home", "Sleep"};

/// The comma-separated numbers of a field; nothing when one is not a number.
std::optional<std::vector<double>> numbersIn(std::string_view text) {
    std::vector<double> numbers;
    while (true) {
        const auto comma = text.find(',');
        const auto number = numberOfText<double>(text.substr(0, comma));
        if (!number) {
            return std::nullopt;
        }
        numbers.push_back(*number);
        if (comma == std::string_view::npos) {
            return numbers;
        }
        text.remove_prefix(comma + 1);
    }
}

std::optional<AxisValues> axesIn(std::string_view text) {
    const auto numbers = numbersIn(text);
    if (!numbers || numbers->size() < 3) {
        return std::nullopt;
    }
    return AxisValues{(*numbers)[0], (*numbers)[1], (*numbers)[2]};
}

bool readState(std::string_view field, GrblStatus& status) {
    const auto colon = field.find(':');
    const auto name = field.substr(0, colon);
    for (std::size_t i = 0; i < stateNames.size(); ++i) {
        if (name == stateNames[i]) {
            status.state = static_cast<GrblState>(i);
            if (colon == std::string_view::npos) {
                return true;
            }
            const auto sub = numberOfText<int>(field.substr(colon + 1));
            status.subState = sub.value_or(-1);
            return sub.has_value();
        }
    }
    return false;
}

/// One `name:value` field; false for a known field whose value cannot be read.
bool readField(std::string_view name, std::string_view value, GrblStatus& status, bool& placed) {
    if (name == "MPos" || name == "WPos") {
        const auto axes = axesIn(value);
        status.position = axes.value_or(AxisValues{});
        status.workPosition = name == "WPos";
        placed = axes.has_value();
        return placed;
    }
    if (name == "WCO") {
        status.offset = axesIn(value);
        return status.offset.has_value();
    }
    if (name == "Bf") {
        const auto numbers = numbersIn(value);
        if (!numbers || numbers->size() != 2) {
            return false;
        }
        status.plannerBlocksFree = int((*numbers)[0]);
        status.receiveBytesFree = int((*numbers)[1]);
        return true;
    }
    if (name == "Ln") {
        status.lineNumber = numberOfText<long>(value);
        return status.lineNumber.has_value();
    }
    if (name == "F" || name == "FS") {
        const auto numbers = numbersIn(value);
        status.feedPerMinute = numbers ? numbers->front() : 0;
        return numbers.has_value();
    }
    if (name == "Pn") {
        status.pins = std::string(value);
    }
    return true;
}

} // namespace

std::optional<GrblStatus> parseGrblStatus(std::string_view line) {
    if (line.size() < 2 || line.front() != '<' || line.back() != '>') {
        return std::nullopt;
    }
    line = line.substr(1, line.size() - 2);
    GrblStatus status;
    bool placed = false;
    bool first = true;
    while (!line.empty() || first) {
        const auto bar = line.find('|');
        const auto field = line.substr(0, bar);
        line = bar == std::string_view::npos ? std::string_view() : line.substr(bar + 1);
        const auto colon = field.find(':');
        const bool read =
            first ? readState(field, status)
                  : colon != std::string_view::npos &&
                        readField(field.substr(0, colon), field.substr(colon + 1), status, placed);
        if (!read) {
            return std::nullopt;
        }
        first = false;
    }
    if (!placed) {
        return std::nullopt;
    }
    return status;
}

GrblReply classifyGrblReply(std::string_view line) {
    using enum GrblReplyKind;
    const auto codeAfter = [&](std::string_view prefix, GrblReplyKind kind) {
        const auto code = numberOfText<int>(line.substr(prefix.size()));
        return code ? GrblReply{kind, *code, line} : GrblReply{Unknown, 0, line};
    };
    if (line.empty()) {
        return {Blank, 0, line};
    }
    if (line == "ok") {
        return {Ok, 0, line};
    }
    if (line.starts_with("error:")) {
        return codeAfter("error:", Error);
    }
    if (line.starts_with("ALARM:")) {
        return codeAfter("ALARM:", Alarm);
    }
    if (line.front() == '<' && line.back() == '>') {
        return {Status, 0, line};
    }
    if (line.starts_with("[MSG:") && line.back() == ']') {
        return {Message, 0, line.substr(5, line.size() - 6)};
    }
    if (line.front() == '[' && line.back() == ']') {
        return {Feedback, 0, line};
    }
    if (line.front() == '$') {
        return {Setting, 0, line};
    }
    if (line.front() == '>') {
        return {StartupLine, 0, line};
    }
    // "Grbl 1.1h ['$' for help]"; grblHAL says "GrblHAL 1.1f ['$' or '$HELP' for help]".
    const auto space = line.find(' ');
    if (line.starts_with("Grbl") && space != std::string_view::npos && line.back() == ']') {
        const auto version = line.substr(space + 1);
        return {Welcome, 0, version.substr(0, version.find(' '))};
    }
    return {Unknown, 0, line};
}

GrblBuildInfo parseGrblBuildInfo(const std::vector<std::string>& lines) {
    GrblBuildInfo info;
    for (std::string_view line : lines) {
        if (line.starts_with("[VER:") && line.back() == ']') {
            const auto text = line.substr(5, line.size() - 6);
            info.version = std::string(text.substr(0, text.find(':')));
        } else if (line.starts_with("[OPT:") && line.back() == ']') {
            auto text = line.substr(5, line.size() - 6);
            const auto comma = text.find(',');
            info.options = std::string(text.substr(0, comma));
            const auto sizes =
                comma == std::string_view::npos ? std::nullopt : numbersIn(text.substr(comma + 1));
            if (sizes && sizes->size() >= 2 && (*sizes)[0] > 0 && (*sizes)[1] > 0) {
                info.plannerBlocks = int((*sizes)[0]);
                info.receiveBytes = int((*sizes)[1]);
            }
        }
    }
    return info;
}

bool isGrbl11OrLater(std::string_view version) {
    if (version.starts_with('v')) {
        version.remove_prefix(1);
    }
    const auto dot = version.find('.');
    const auto major = numberOfText<int>(version.substr(0, dot));
    if (!major || dot == std::string_view::npos) {
        return false;
    }
    const auto rest = version.substr(dot + 1);
    std::size_t digits = 0;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9') {
        ++digits;
    }
    const auto minor = numberOfText<int>(rest.substr(0, digits));
    return minor && (*major > 1 || (*major == 1 && *minor >= 1));
}

std::string_view grblRealTimeMeaning(unsigned char byte) {
    switch (byte) {
    case '?':
        return "a status query";
    case '~':
        return "a cycle start";
    case '!':
        return "a feed hold";
    case 0x18:
        return "a soft reset";
    case 0x85:
        return "a jog cancel";
    default:
        return byte > 0x7f ? "a real-time command" : "";
    }
}

std::string grblWireLine(std::string_view line) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
        line.remove_prefix(1);
    }
    if (line.starts_with('$') && !line.starts_with("$J=") && !line.starts_with("$j=")) {
        return std::string(line);
    }
    std::string wire;
    bool inComment = false;
    for (char c : line) {
        if (c == ';' && !inComment) {
            break;
        }
        if (c == '(' || c == ')') {
            inComment = c == '(';
        } else if (!inComment && c != ' ' && c != '\t') {
            wire += c;
        }
    }
    return wire;
}

} // namespace chimex
