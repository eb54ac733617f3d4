// SPDX-License-Identifier: MIT
#include "gcode_reader.h"

#include "machinefile/gcode_format.h"
#include "partfile/line_reader.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

namespace chimex {

struct GcodeReader::Words {
    std::optional<int> motion; ///< G0 or G1 on this line
    unsigned groups = 0;       ///< the groups of which the line holds a word, as groupBit gives
    bool dwell = false;
    std::array<std::optional<double>, 3> axes;
    std::optional<double> feed;
    std::optional<double> dwellValue; ///< the P word
    int words = 0;                    ///< every word on the line
    int modeWords = 0;                ///< G20, G21, G90 and G94
    std::optional<int> units;         ///< 20 or 21
    bool absolute = false;            ///< G90
    bool feedPerMinute = false;       ///< G94
    bool exactPath = false;           ///< G61.1, on LinuxCNC's setup line
    bool programEnd = false;          ///< M2 or M30
    bool operatorStop = false;        ///< M0
};

namespace {

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

/// The setup line the writer writes, as messages quote it.
std::string setupLineText(bool marlin, bool linuxCnc, bool klipper) {
    if (klipper) {
        return "\"G21\" then \"G90\", each on its own line,";
    }
    if (linuxCnc) {
        return "\"G21 G90 G94 G61.1\" or \"G20 G90 G94 G61.1\"";
    }
    return marlin ? "\"G90\"" : "\"G21 G90 G94\" or \"G20 G90 G94\"";
}

/// Of the words chimex-cli reads, those of which a line may hold one: motion (G0, G1), dwell
/// (G4), stop (M), each a bit; 0 for the rest. Two unit or mode words spoil the setup line.
unsigned groupBit(char letter, double value) {
    if (letter == 'G' && (value == 0 || value == 1)) {
        return 1;
    }
    if (letter == 'G' && value == 4) {
        return 2;
    }
    return letter == 'M' ? 4 : 0;
}

bool isNumberChar(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '+' || c == '-';
}

} // namespace

GcodeReader::GcodeReader(std::istream& in, IssueHandler onIssue)
    : MoveEventReader(in, std::move(onIssue), false) {}

void GcodeReader::readLine(std::string_view text) {
    if (!readCharacters(text)) {
        return;
    }
    const std::string_view line = trim(text);
    std::string code;
    Words words;
    if (line.empty()) {
        return;
    }
    if (ended_) {
        issue("a line after the program end (LinuxCNC reads no further, GRBL and Marlin go on): " +
              shown(line));
        return;
    }
    if (line == "%") {
        issue("a '%' line, which LinuxCNC takes for the start or end of the file or refuses");
        return;
    }
    if (!stripComments(line, code)) {
        return;
    }
    if (klipper_ && code.starts_with(velocityLimitCommand)) {
        const auto limit = readVelocityLimitLine(trim(code));
        if (!limit || !(limit->accel > 0) || !(limit->squareCornerVelocity >= 0) ||
            !(limit->minimumCruiseRatio >= 0 && limit->minimumCruiseRatio < 1)) {
            issue("SET_VELOCITY_LIMIT takes ACCEL, SQUARE_CORNER_VELOCITY and "
                  "MINIMUM_CRUISE_RATIO in that order, accel above 0, ratio below 1: " +
                  shown(line));
        }
        return;
    }
    if (!readWords(code, words) || !readSetup(words, line) || !readProgramEnd(words, line)) {
        return;
    }
    if (words.feed) {
        if (!(*words.feed > 0)) {
            issue("the feed F must be above 0: " + shown(line));
            return;
        }
        feed_ = words.feed;
    }
    const bool moves = words.axes[0] || words.axes[1] || words.axes[2];
    if (words.dwell != words.dwellValue.has_value() || (words.dwell && words.words != 2)) {
        issue("G4 takes P and nothing else, and P belongs to G4: " + shown(line));
    } else if (words.dwell && !(std::fabs(*words.dwellValue) <= longestDwell(printer()))) {
        issue("a dwell longer than a day: " + shown(line));
    } else if (words.dwell) {
        MoveEvent pause;
        pause.kind = MoveEventKind::Pause;
        pause.line = lines_.lineNumber();
        pause.seconds = *words.dwellValue / (printer() ? 1000 : 1);
        pending_.push_back(pause);
    } else if (moves) {
        addMoves(words);
    }
}

/// Drops the byte-order mark (reported) and the CR of a CR LF; false after an issue for a
/// character that a controller reads otherwise than this reader.
bool GcodeReader::readCharacters(std::string_view& line) {
    if (lines_.lineNumber() == 1 && line.starts_with(byteOrderMark)) {
        issue("a UTF-8 byte-order mark before the first line, which controllers read as "
              "characters (LinuxCNC refuses the line): save the file without it");
        line.remove_prefix(byteOrderMark.size());
    }
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    if (const auto problem = characterProblem(line, format().dialect)) {
        issue(*problem + ": " + shown(line));
        return false;
    }
    return true;
}

/// Takes the setup line; false after an issue.
bool GcodeReader::readSetup(const Words& words, std::string_view line) {
    if (words.modeWords == 0) {
        return true;
    }
    if (klipper_) {
        return readKlipperSetup(words, line);
    }
    // LinuxCNC's exact path mode; files of earlier versions go without it.
    const int count = words.exactPath ? 4 : 3;
    const bool whole = marlin_ ? words.absolute && words.words == 1
                               : words.units && words.absolute && words.feedPerMinute &&
                                     (linuxCnc_ || !words.exactPath) && words.words == count &&
                                     words.modeWords == count;
    if (setup_ && exactPath_ && words.exactPath && words.words == 1) {
        return true; // exact path restated alone before a dwell, which changes nothing
    }
    if (setup_) {
        issue("units and modes are set once, by the setup line before the first move: " +
              shown(line));
        return false;
    }
    if (!whole) {
        issue("the setup line must be " + setupLineText(marlin_, linuxCnc_, klipper_) +
              " alone: " + shown(line));
        return false;
    }
    setup_ = true;
    exactPath_ = words.exactPath;
    inch_ = words.units == 20;
    return true;
}

/// Takes Klipper's setup lines, G21 then G90, each alone; false after an issue.
bool GcodeReader::readKlipperSetup(const Words& words, std::string_view line) {
    const bool alone = words.words == 1 && words.modeWords == 1;
    if (!setup_ && !millimetres_ && alone && words.units == 21) {
        millimetres_ = true;
        return true;
    }
    if (!setup_ && millimetres_ && alone && words.absolute) {
        setup_ = true;
        return true;
    }
    issue(setup_
              ? "units and modes are set once, by the setup lines before the first move: " +
                    shown(line)
              : "the setup lines must be " + setupLineText(false, false, true) + " " + shown(line));
    return false;
}

/// Takes M2 and M30, which Marlin and Klipper must not get, and M0, which Klipper does not
/// have; false after an issue.
bool GcodeReader::readProgramEnd(const Words& words, std::string_view line) {
    if ((words.programEnd || words.operatorStop) && klipper_) {
        issue("Klipper has no M0, M2 or M30: it reports an unknown command and goes on: " +
              shown(line));
        return false;
    }
    if (words.programEnd && marlin_) {
        issue("Marlin has no program end (its M30 deletes a file on the SD card): " + shown(line));
        return false;
    }
    ended_ = ended_ || words.programEnd;
    return true;
}

GcodeFormat GcodeReader::format() const {
    const GcodeDialect dialect = klipper_    ? GcodeDialect::Klipper
                                 : marlin_   ? GcodeDialect::Marlin
                                 : linuxCnc_ ? GcodeDialect::LinuxCnc
                                             : GcodeDialect::Grbl;
    return {dialect, inch_ ? LengthUnit::Inch : LengthUnit::Millimetre, timedFor_};
}

std::optional<std::string> GcodeReader::missingEnd() const {
    if (ended_) {
        return std::nullopt;
    }
    return printer() ? "the file does not end with the comment \"" + std::string(gcodeLastComment) +
                           "\"; it may have been cut short"
                     : std::string("the file has no program end (M2); it may have been cut short");
}

/// Copies the code outside comments to `code`, reading each comment; false after an issue.
bool GcodeReader::stripComments(std::string_view line, std::string& code) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == ';') {
            return readComment(line.substr(i + 1), true, line);
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
        if (!readComment(line.substr(i + 1, close - i - 1), false, line)) {
            return false;
        }
        i = close;
    }
    return true;
}

/// Reads a comment of the form the dialect takes; false after an issue.
bool GcodeReader::readComment(std::string_view text, bool semicolon, std::string_view line) {
    using Kind = WrittenComment::Kind;
    const std::optional<WrittenComment> written = writtenComment(trim(text));
    if (written && written->kind == Kind::First) {
        if (lines_.lineNumber() != 1) {
            issue("the comment that names the controller belongs on the first line: " +
                  shown(line));
            return false;
        }
        marlin_ = written->dialect == GcodeDialect::Marlin;
        linuxCnc_ = written->dialect == GcodeDialect::LinuxCnc;
        klipper_ = written->dialect == GcodeDialect::Klipper;
    }
    const bool semicolonDialect = printer();
    if (semicolonDialect && !semicolon) {
        const std::string name(dialectName(format().dialect));
        issue(name +
              " takes parentheses for no comment and may act on the words inside them; "
              "comments for " +
              name + " follow ';': " + shown(line));
        return false;
    }
    if (!semicolonDialect && semicolon) {
        issue("a ';' comment in a file for GRBL or LinuxCNC, which chimex-cli writes in "
              "parentheses: " +
              shown(line));
        return false;
    }
    if (!written || (written->kind == Kind::Last && !semicolonDialect)) {
        issue("a comment that chimex-cli does not write, which a controller or sender may act on "
              "(LinuxCNC on MSG, DEBUG, PRINT, LOG, LOGOPEN, ABORT and more): " +
              shown(line));
        return false;
    }
    ended_ = ended_ || written->kind == Kind::Last;
    if (written->kind == Kind::TimedFor) {
        readTimedForText(trim(text), timedFor_);
    }
    if (written->kind == Kind::HeaderValue) {
        auto value = readGcodeNumber(written->number);
        if (value && written->item >= static_cast<std::size_t>(HeaderItem::FastestXY)) {
            value = speedOfFeed(*value);
        }
        storeHeaderValue(written->item, value, trim(text));
    }
    return true;
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
        const std::size_t start = i++;
        while (i < code.size() && isNumberChar(code[i])) {
            ++i;
        }
        const std::string_view word = code.substr(start, i - start);
        const auto value = readGcodeNumber(word.substr(1));
        if (!std::isalpha(static_cast<unsigned char>(word[0])) || !value) {
            issue("not a G-code word: " + shown(code.substr(start)));
            return false;
        }
        if (!takeWord(word, *value, code, words)) {
            return false;
        }
        ++words.words;
    }
}

/// Takes `word` of `code` as typed, with its value; false after an issue.
bool GcodeReader::takeWord(std::string_view word, double value, std::string_view code,
                           Words& words) {
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(word[0])));
    if (marlin_ && word[0] != letter) {
        issue("Marlin reads lower-case G-code only when built to: " + shown(code));
        return false;
    }
    if ((words.groups & groupBit(letter, value)) != 0) {
        issue("two words of one modal group on one line, which controllers refuse or read "
              "otherwise: " +
              shown(code));
        return false;
    }
    words.groups |= groupBit(letter, value);
    if (!readWord(letter, value, words)) {
        issue("not G-code that chimex-cli reads: " + shown(word));
        return false;
    }
    if (words.words == 0 && letter != 'G' && letter != 'M') {
        issue("a line starts with its G or M word (Marlin reads no other line): " + shown(code));
        return false;
    }
    return true;
}

bool GcodeReader::readWord(char letter, double value, Words& words) {
    if (letter == 'G' && (value == 0 || value == 1)) {
        words.motion = static_cast<int>(value);
        return true;
    }
    if (letter == 'G' && value == 4) {
        words.dwell = true;
        return true;
    }
    if (letter == 'G' && (value == 20 || value == 21 || value == 90 || value == 94)) {
        ++words.modeWords; // counted, so that a word given twice spoils the setup line
        words.units = value == 20 || value == 21 ? std::optional<int>(value) : words.units;
        words.absolute = words.absolute || value == 90;
        words.feedPerMinute = words.feedPerMinute || value == 94;
        return true;
    }
    if (letter == 'G' && value == 61.1) {
        ++words.modeWords;
        words.exactPath = true;
        return true;
    }
    if (letter == 'G') {
        return false;
    }
    if (letter == 'M') {
        words.programEnd = words.programEnd || value == 2 || value == 30;
        words.operatorStop = words.operatorStop || value == 0;
        return value == 0 || value == 2 || value == 30; // M1 stops only where a switch says so
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

/// A rest timed by LinuxCNC's motion: one axis moved by gcodeRestStep at a feed that takes the
/// rest's time, which no motor steps for.
void GcodeReader::addRestMove(const Words& words, double length) {
    MoveEvent pause;
    pause.kind = MoveEventKind::Pause;
    pause.line = lines_.lineNumber();
    pause.seconds = length * 60 / *feed_;
    pending_.push_back(pause);
    for (std::size_t i = 0; i < words.axes.size(); ++i) {
        position_[i] = words.axes[i].value_or(position_[i]);
    }
}

void GcodeReader::addMoves(const Words& words) {
    if (!words.motion) {
        issue("X, Y or Z without G0 or G1 on its line");
        return;
    }
    const int motion = *words.motion;
    if (motion == 1 && !feed_) {
        issue("G1 before an F word sets the feed");
        return;
    }
    if (!setup_ && !setupMissed_) {
        setupMissed_ = true;
        issue("a move before the setup line " + setupLineText(marlin_, linuxCnc_, klipper_) +
              ": the machine would keep the units and modes it was left in");
    }
    int named = 0;
    double path = 0; // the length of the straight line the axes move along together
    for (std::size_t i = 0; i < words.axes.size(); ++i) {
        named += words.axes[i] ? 1 : 0;
        const double distance = words.axes[i] ? *words.axes[i] - position_[i] : 0;
        path += distance * distance;
    }
    path = std::sqrt(path);
    if (linuxCnc_ && motion == 1 && named == 1 && path > 0 && path <= 1.5 * gcodeRestStep) {
        addRestMove(words, path);
        return;
    }
    for (std::size_t i = 0; i < words.axes.size(); ++i) {
        if (!words.axes[i]) {
            continue;
        }
        MoveEvent move;
        move.line = lines_.lineNumber();
        move.axis = static_cast<Axis>(i);
        if (motion == 1 && (named == 1 || !(path > 0))) {
            move.speed = speedOfFeed(*feed_);
        } else if (motion == 1) {
            move.speed = *feed_ / 60 * std::fabs(*words.axes[i] - position_[i]) / path;
        }
        move.from = position_[i];
        move.target = *words.axes[i];
        move.singleAxis = named == 1;
        move.alongPath = motion == 1 && named > 1 && path > 0;
        position_[i] = move.target;
        pending_.push_back(move);
    }
}

} // namespace chimex
