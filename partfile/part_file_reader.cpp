// SPDX-License-Identifier: MIT
#include "part_file_reader.h"

#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <string>

namespace chimex {
namespace {

/// Case-insensitive test for a command word at the start of a line.
bool startsWithWord(std::string_view line, std::string_view word) {
    if (line.size() < word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(line[i])) != word[i]) {
            return false;
        }
    }
    return true;
}

/// The footer's restore lines without their trailing blank, as lines are compared trimmed.
constexpr std::array<std::string_view, 2> restoreCommands = {
    restoreLines[0].substr(0, restoreLines[0].size() - 1),
    restoreLines[1].substr(0, restoreLines[1].size() - 1)};

using Arguments = std::array<std::string_view, 4>;

/// Splits the text after a command's comma into its arguments, each trimmed. Returns how many
/// there are; only the first four are kept.
std::size_t splitArguments(std::string_view text, Arguments& parts) {
    for (std::size_t count = 0;; ++count) {
        const auto comma = text.find(',');
        if (count < parts.size()) {
            parts[count] = trim(text.substr(0, comma));
        }
        if (comma == std::string_view::npos) {
            return count + 1;
        }
        text.remove_prefix(comma + 1);
    }
}

} // namespace

std::optional<double> readPartNumber(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    const std::size_t mantissa = i;
    bool digits = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(text[i]))) {
            digits = true;
        } else if (text[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!digits) {
        return std::nullopt;
    }
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        const std::size_t exponent = i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            ++i;
        }
        if (i == exponent) {
            return std::nullopt;
        }
    }
    if (i != text.size()) {
        return std::nullopt;
    }
    // from_chars takes no "+"; the grammar above has been checked already.
    double value = 0;
    const auto result = std::from_chars(text.data() + mantissa, text.data() + text.size(), value);
    if (result.ec != std::errc() || !std::isfinite(value) || std::fabs(value) > FLT_MAX) {
        return std::nullopt;
    }
    return text[0] == '-' ? -value : value;
}

PartFileReader::PartFileReader(std::istream& in, IssueHandler onIssue)
    : MoveEventReader(in, std::move(onIssue)) {}

void PartFileReader::readLine(std::string_view text) {
    const std::string_view line = trim(text);
    if (line.empty()) {
        return;
    }
    if (restoreLinesSeen_ < restoreLines.size() && line == restoreCommands[restoreLinesSeen_]) {
        ++restoreLinesSeen_;
    } else {
        restoreLinesSeen_ = line == restoreCommands[0] ? 1 : 0;
    }
    if (line.front() == '\'') {
        readComment(line);
    } else if (startsWithWord(line, speedCommand)) {
        readJogSpeeds(line.substr(speedCommand.size()));
    } else if (startsWithWord(line, jogCommand)) {
        readJog(line.substr(jogCommand.size()));
    } else if (startsWithWord(line, pauseCommand)) {
        readPause(line.substr(pauseCommand.size()));
    } else if (startsWithWord(line, "INPUT ") || startsWithWord(line, "IF ")) {
        return;
    } else if (line.front() == '&' && line.find('=') != std::string_view::npos) {
        return;
    } else {
        issue("not a line of a part file: " + shown(line));
    }
}

std::optional<std::string> PartFileReader::missingEnd() const {
    if (restoreLinesSeen_ == restoreLines.size()) {
        return std::nullopt;
    }
    return "the file does not end with the footer's lines \"" + std::string(restoreCommands[0]) +
           "\" and \"" + std::string(restoreCommands[1]) +
           "\", which restore the jog speeds; it may have been cut short";
}

void PartFileReader::readComment(std::string_view line) {
    for (std::size_t i = 0; i < headerTexts.size(); ++i) {
        if (!line.starts_with(headerTexts[i])) {
            continue;
        }
        storeHeaderValue(i, readPartNumber(trim(line.substr(headerTexts[i].size()))), line);
        return;
    }
}

void PartFileReader::readJogSpeeds(std::string_view arguments) {
    Arguments parts;
    const std::size_t count = splitArguments(arguments, parts);
    if (count > 2) {
        issue("JS takes at most two speeds: " + shown(arguments));
        return;
    }
    std::array<std::optional<double>*, 2> speeds = {&xySpeed_, &zSpeed_};
    std::array<std::optional<double>, 2> values = {xySpeed_, zSpeed_};
    for (std::size_t i = 0; i < count; ++i) {
        if (parts[i].empty()) {
            continue;
        }
        if (parts[i].front() == '&') {
            values[i].reset();
            continue;
        }
        values[i] = readPartNumber(parts[i]);
        if (!values[i]) {
            issue("a JS speed is not a number: " + shown(parts[i]));
            return;
        }
    }
    *speeds[0] = values[0];
    *speeds[1] = values[1];
}

void PartFileReader::readJog(std::string_view arguments) {
    Arguments parts;
    const std::size_t count = splitArguments(arguments, parts);
    if (count > 3) {
        issue("J3 takes at most three coordinates: " + shown(arguments));
        return;
    }
    std::array<std::optional<double>, 3> targets;
    std::size_t named = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (parts[i].empty()) {
            continue;
        }
        targets[i] = readPartNumber(parts[i]);
        if (!targets[i]) {
            issue(std::string("the J3 ") + axisLetter(axes[i]) +
                  " coordinate is not a number: " + shown(parts[i]));
            return;
        }
        ++named;
    }
    if (named == 0) {
        issue("J3 without a coordinate");
        return;
    }
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (!targets[i]) {
            continue;
        }
        MoveEvent move;
        move.kind = MoveEventKind::Move;
        move.line = lines_.lineNumber();
        move.axis = axes[i];
        move.speed = i == 2 ? zSpeed_ : xySpeed_;
        move.from = position_[i];
        move.target = *targets[i];
        move.singleAxis = named == 1;
        position_[i] = *targets[i];
        pending_.push_back(move);
    }
}

void PartFileReader::readPause(std::string_view arguments) {
    std::string_view text = trim(arguments);
    if (text.starts_with(',')) {
        text = trim(text.substr(1));
    } else if (!text.empty() && text.size() == arguments.size()) {
        issue("PAUSE must be followed by a blank or a comma: " + shown(arguments));
        return;
    }
    const auto seconds = readPartNumber(text);
    if (!seconds) {
        issue("PAUSE without a number of seconds: " + shown(arguments));
        return;
    }
    MoveEvent pause;
    pause.kind = MoveEventKind::Pause;
    pause.line = lines_.lineNumber();
    pause.seconds = *seconds;
    pending_.push_back(pause);
}

} // namespace chimex
