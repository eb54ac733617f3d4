// SPDX-License-Identifier: MIT
#include "gcode_reader.h"

#include "cli/gcode/gcode_format.h"

#include <cctype>
#include <cmath>
#include <string>

namespace chimex {

struct GcodeReader::Words {
    std::optional<int> motion; ///< G0 or G1 on this line
    bool dwell = false;
    std::array<std::optional<double>, 3> axes;
    std::optional<double> feed;
    std::optional<double> dwellValue; ///< the P word
};

namespace {

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string shown(std::string_view text) {
    std::string out;
    for (char c : text.substr(0, 60)) {
        out += std::isprint(static_cast<unsigned char>(c)) ? c : '?';
    }
    return "\"" + out + (text.size() > 60 ? "...\"" : "\"");
}

/// A G-code number: the part file's forms without the exponent, which G-code does not have.
std::optional<double> readGcodeNumber(std::string_view text) {
    if (text.find_first_of("eE") != std::string_view::npos) {
        return std::nullopt;
    }
    return readPartNumber(text);
}

/// A day, the longest pause a tune holds; controllers read P as a 32-bit whole number of
/// milliseconds or less.
double longestDwell(bool milliseconds) {
    return milliseconds ? 86400e3 : 86400;
}

bool isNumberChar(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '+' || c == '-';
}

} // namespace

GcodeReader::GcodeReader(std::istream& in, IssueHandler onIssue)
    : MoveEventReader(in, std::move(onIssue)) {}

void GcodeReader::readLine(std::string_view text) {
    const std::string_view line = trim(text);
    std::string code;
    Words words;
    if (line.empty() || line == "%" || !stripComments(line, code) || !readWords(code, words)) {
        return;
    }
    if (words.feed) {
        if (!(*words.feed > 0)) {
            issue("the feed F must be above 0: " + shown(line));
            return;
        }
        feed_ = words.feed;
    }
    if (words.motion) {
        motion_ = *words.motion;
    }
    const bool moves = words.axes[0] || words.axes[1] || words.axes[2];
    if (words.dwell != words.dwellValue.has_value() || (words.dwell && moves)) {
        issue("G4 takes P and nothing else, and P belongs to G4: " + shown(line));
    } else if (words.dwell && !(std::fabs(*words.dwellValue) <= longestDwell(dwellMilliseconds_))) {
        issue("a dwell longer than a day: " + shown(line));
    } else if (words.dwell) {
        PartEvent pause;
        pause.kind = PartEventKind::Pause;
        pause.line = lines_.lineNumber();
        pause.seconds = *words.dwellValue / (dwellMilliseconds_ ? 1000 : 1);
        pending_.push_back(pause);
    } else if (moves) {
        addMoves(words);
    }
}

/// Copies the code outside comments to `code`, reading each comment; false after an issue.
bool GcodeReader::stripComments(std::string_view line, std::string& code) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == ';') {
            readComment(line.substr(i + 1));
            return true;
        }
        if (line[i] != '(') {
            code += line[i];
            continue;
        }
        const auto close = line.find(')', i);
        const auto open = line.find('(', i + 1);
        if (close == std::string_view::npos || open < close) {
            issue("a comment must close with ')' before another '(': " + shown(line));
            return false;
        }
        readComment(line.substr(i + 1, close - i - 1));
        i = close;
    }
    return true;
}

void GcodeReader::readComment(std::string_view text) {
    const std::string_view comment = trim(text);
    if (comment.starts_with(gcodeFirstComment)) {
        dwellMilliseconds_ = comment.substr(gcodeFirstComment.size()) == "Marlin";
        return;
    }
    for (std::size_t i = 0; i < gcodeHeaderTexts.size(); ++i) {
        if (!comment.starts_with(gcodeHeaderTexts[i])) {
            continue;
        }
        const std::string_view rest = comment.substr(gcodeHeaderTexts[i].size());
        auto value = readGcodeNumber(rest.substr(0, rest.find(' ')));
        if (!value) {
            issue("the header value is not a number: " + shown(comment));
            return;
        }
        if (i >= static_cast<std::size_t>(HeaderItem::FastestXY)) {
            value = speedOfFeed(*value);
        }
        if (header_[i].value) {
            issue("the header states this value twice (first at line " +
                  std::to_string(header_[i].line) + ")");
        }
        header_[i] = {value, lines_.lineNumber()};
        return;
    }
}

bool GcodeReader::readWords(std::string_view code, Words& words) {
    std::size_t i = 0;
    while (true) {
        while (i < code.size() && (code[i] == ' ' || code[i] == '\t')) {
            ++i;
        }
        if (i == code.size()) {
            return true;
        }
        const std::size_t start = i;
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(code[i++])));
        while (i < code.size() && isNumberChar(code[i])) {
            ++i;
        }
        const std::string_view word = code.substr(start, i - start);
        const auto value = readGcodeNumber(word.substr(1));
        if (!std::isalpha(static_cast<unsigned char>(letter)) || !value) {
            issue("not a G-code word: " + shown(code.substr(start)));
            return false;
        }
        if (!readWord(letter, *value, words)) {
            issue("not G-code that chimex-cli reads: " + shown(word));
            return false;
        }
    }
}

bool GcodeReader::readWord(char letter, double value, Words& words) {
    if (letter == 'G' && (value == 0 || value == 1) && !words.motion) {
        words.motion = static_cast<int>(value);
        return true;
    }
    if (letter == 'G' && value == 4) {
        words.dwell = true;
        return true;
    }
    if (letter == 'G') {
        return value == 20 || value == 21 || value == 90 || value == 94;
    }
    if (letter == 'M') {
        return value == 0 || value == 1 || value == 2 || value == 30;
    }
    std::optional<double>* slot = letter == 'X'   ? &words.axes[0]
                                  : letter == 'Y' ? &words.axes[1]
                                  : letter == 'Z' ? &words.axes[2]
                                  : letter == 'F' ? &words.feed
                                  : letter == 'P' ? &words.dwellValue
                                                  : nullptr;
    if (slot == nullptr || slot->has_value()) {
        return false;
    }
    *slot = value;
    return true;
}

void GcodeReader::addMoves(const Words& words) {
    if (motion_ < 0) {
        issue("X, Y or Z without G0 or G1");
        return;
    }
    if (motion_ == 1 && !feed_) {
        issue("G1 before an F word sets the feed");
        return;
    }
    int named = 0;
    for (const auto& axis : words.axes) {
        named += axis ? 1 : 0;
    }
    for (std::size_t i = 0; i < words.axes.size(); ++i) {
        if (!words.axes[i]) {
            continue;
        }
        PartEvent move;
        move.line = lines_.lineNumber();
        move.axis = static_cast<Axis>(i);
        if (motion_ == 1) {
            move.speed = speedOfFeed(*feed_);
        }
        move.from = position_[i];
        move.target = *words.axes[i];
        move.singleAxis = named == 1;
        position_[i] = move.target;
        pending_.push_back(move);
    }
}

} // namespace chimex
