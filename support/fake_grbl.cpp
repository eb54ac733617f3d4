// SPDX-License-Identifier: MIT
// The fake GRBL's lines: what it takes when, and how it answers them.
#include "fake_grbl.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace chimex {

struct FakeGrbl::Line {
    std::string text; ///< without blanks and comments, in capitals
    int error = 0;    ///< a word that cannot be read
    std::vector<std::pair<char, double>> words;
    bool system = false; ///< a $ command
    bool jog = false;    ///< $J=
    bool motion = false; ///< needs a planner block
    bool sync = false;   ///< waits for the planner to run empty

    bool has(char letter) const { return find(letter) != nullptr; }
    const double* find(char letter) const {
        for (const auto& [l, value] : words) {
            if (l == letter) {
                return &value;
            }
        }
        return nullptr;
    }
};

namespace {

/// GRBL's line buffer holds 80 characters, one of them its end.
constexpr std::size_t longestLine = 79;

std::string cleaned(const std::string& raw) {
    std::string text;
    bool comment = false;
    for (char c : raw) {
        if (c == ';' && !comment) {
            break;
        }
        if (c == '(' || c == ')') {
            comment = c == '(';
        } else if (!comment && !std::isspace(static_cast<unsigned char>(c))) {
            text += char(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    return text;
}

int readWords(const std::string& text, std::size_t from,
              std::vector<std::pair<char, double>>& out) {
    for (std::size_t i = from; i < text.size();) {
        const char letter = text[i];
        if (letter < 'A' || letter > 'Z') {
            return 1;
        }
        // GRBL reads a sign, digits and a point; strtod would also take "0X0" as hexadecimal.
        const char* start = text.c_str() + i + 1;
        const bool negative = *start == '-';
        start += (*start == '-' || *start == '+') ? 1 : 0;
        double value = 0;
        const auto [end, failed] =
            std::from_chars(start, text.c_str() + text.size(), value, std::chars_format::fixed);
        if (failed != std::errc() || end == start) {
            return 2;
        }
        out.emplace_back(letter, negative ? -value : value);
        i = std::size_t(end - text.c_str());
    }
    return 0;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

} // namespace

FakeGrbl::Line FakeGrbl::readLine(const std::string& raw) {
    Line line;
    line.text = cleaned(raw);
    if (line.text.size() > longestLine) {
        line.error = 11;
        return line;
    }
    line.jog = line.text.starts_with("$J=");
    line.system = !line.jog && line.text.starts_with('$');
    if (line.system) {
        line.sync = line.text == "$H";
        return line;
    }
    line.error = readWords(line.text, line.jog ? 3 : 0, line.words);
    line.motion = line.jog || line.has('X') || line.has('Y') || line.has('Z');
    for (const auto& [letter, value] : line.words) {
        line.sync = line.sync || (letter == 'G' && value == 4) ||
                    (letter == 'M' && (value == 0 || value == 2 || value == 30));
    }
    return line;
}

FakeGrbl::FakeGrbl(FakeGrblMachine machine, LinkTime start)
    : machine_(machine), time_(start), state_(State::Idle) {
    welcome(machine_.homing);
}

void FakeGrbl::welcome(bool alarm) {
    say("Grbl 1.1h ['$' for help]");
    if (alarm) {
        say("[MSG:'$H'|'$X' to unlock]");
    }
    state_ = alarm ? State::Alarm : State::Idle;
    reportsSinceOffset_ = -1;
}

void FakeGrbl::takeLines() {
    for (auto end = received_.find('\n'); end != std::string::npos; end = received_.find('\n')) {
        const Line line = readLine(received_.substr(0, end));
        if (!canTake(line)) {
            return;
        }
        received_.erase(0, end + 1);
        linesTaken_.push_back(line.text);
        const std::string answer = execute(line);
        if (!answer.empty()) {
            say(answer);
        }
    }
}

bool FakeGrbl::canTake(const Line& line) const {
    if (critical_ || state_ == State::Hold || dwellLeft_ > 0 ||
        (stopping_ && state_ == State::Jog)) {
        return false;
    }
    if (line.error != 0) {
        return true;
    }
    if (line.sync) {
        return planner_.empty() && speed_ == 0;
    }
    return !line.motion || planner_.size() < std::size_t(machine_.plannerBlocks);
}

std::string FakeGrbl::execute(const Line& line) {
    if (line.error != 0) {
        return "error:" + std::to_string(line.error);
    }
    if (line.system) {
        return system(line.text);
    }
    if (line.jog) {
        return jog(line);
    }
    if (state_ == State::Alarm || state_ == State::Jog) {
        return "error:9";
    }
    return gcode(line);
}

std::string FakeGrbl::system(const std::string& text) {
    if ((state_ == State::Run || state_ == State::Hold) && text != "$X") {
        return "error:8";
    }
    if (text == "$$") {
        const auto& m = machine_;
        say("$1=" + std::to_string(m.stepIdleDelay));
        say("$10=" + std::to_string(m.statusMask));
        say("$20=" + std::to_string(int(m.softLimits)));
        say("$22=" + std::to_string(int(m.homing)));
        say("$27=" + number(m.pullOff));
        for (const auto& [first, values] : {std::pair{110, &m.maxRatePerMinute},
                                            std::pair{120, &m.accel}, std::pair{130, &m.travel}}) {
            for (int axis = 0; axis < 3; ++axis) {
                say("$" + std::to_string(first + axis) + "=" + number((*values)[axis]));
            }
        }
    } else if (text == "$I") {
        say("[VER:1.1h.20190825:]");
        say("[OPT:V," + std::to_string(machine_.plannerBlocks) + "," +
            std::to_string(machine_.receiveBytes) + "]");
    } else if (text == "$X") {
        if (state_ == State::Alarm) {
            state_ = State::Idle;
            say("[MSG:Caution: Unlocked]");
        }
    } else if (text == "$H") {
        if (!machine_.homing) {
            return "error:5";
        }
        position_ = {-machine_.pullOff, -machine_.pullOff, -machine_.pullOff};
        state_ = State::Idle;
    } else if (!std::isdigit(uint8_t(text[1]))) {
        return "error:2"; // GRBL reads any other $ command as a setting's number
    } else if (text.find('=') == std::string::npos) {
        return "error:3";
    }
    return "ok";
}

std::string FakeGrbl::jog(const Line& line) {
    if (state_ != State::Idle && state_ != State::Jog) {
        return "error:8";
    }
    for (const auto& [letter, value] : line.words) {
        const bool modeWord = letter == 'G' && (value == 20 || value == 21 || value == 53 ||
                                                value == 90 || value == 91);
        if ((letter == 'G' || letter == 'M') && !modeWord) {
            return "error:16";
        }
        if (!modeWord && letter != 'X' && letter != 'Y' && letter != 'Z' && letter != 'F') {
            return "error:36"; // a value word a jog does not use
        }
    }
    if (!line.has('F')) {
        return "error:22";
    }
    return move(line, true);
}

std::string FakeGrbl::gcode(const Line& line) {
    int motionWords = 0;
    for (const auto& [letter, value] : line.words) {
        if (letter == 'G') {
            motionWords += value == 0 || value == 1;
            if (value == 0 || value == 1) {
                modes_.rapid = value == 0;
            } else if (value == 20 || value == 21) {
                modes_.unit = value == 20 ? 25.4 : 1;
            } else if (value == 90 || value == 91) {
                modes_.relative = value == 91;
            } else if (value != 4 && value != 17 && value != 53 && value != 54 && value != 94) {
                return "error:20";
            }
        } else if (letter == 'M' && value != 0 && value != 2 && value != 30 && value != 3 &&
                   value != 4 && value != 5 && value != 8 && value != 9) {
            return "error:20";
        } else if (std::string_view("GMFSPNTXYZ").find(letter) == std::string_view::npos) {
            return "error:20";
        }
    }
    if (motionWords > 1) {
        return "error:24";
    }
    for (std::size_t i = 0; i < line.words.size(); ++i) {
        const char letter = line.words[i].first;
        for (std::size_t j = i + 1; letter != 'G' && letter != 'M' && j < line.words.size(); ++j) {
            if (line.words[j].first == letter) {
                return "error:25";
            }
        }
    }
    if (const double* feed = line.find('F')) {
        modes_.feedPerMinute = *feed * modes_.unit;
    }
    for (const auto& [letter, value] : line.words) {
        if (letter == 'G' && value == 4) {
            const double* seconds = line.find('P');
            if (!seconds) {
                return "error:28";
            }
            dwellLeft_ = *seconds;
            return dwellLeft_ > 0 ? "" : "ok";
        }
        if (letter == 'M' && value == 0) {
            paused_ = true;
            state_ = State::Hold;
            return "";
        }
        if (letter == 'M' && (value == 2 || value == 30)) {
            modes_ = Modes{modes_.unit};
            say("[MSG:Pgm End]");
        }
    }
    return line.motion ? move(line, false) : "ok";
}

std::string FakeGrbl::move(const Line& line, bool jog) {
    bool relative = modes_.relative;
    double unit = modes_.unit;
    bool machineFrame = false;
    for (const auto& [letter, value] : line.words) {
        relative = letter == 'G' && (value == 90 || value == 91) ? value == 91 : relative;
        unit =
            jog && letter == 'G' && (value == 20 || value == 21) ? (value == 20 ? 25.4 : 1) : unit;
        machineFrame = machineFrame || (letter == 'G' && value == 53);
    }
    auto target = planner_.empty() ? position_ : planner_.back().target;
    for (int axis = 0; axis < 3; ++axis) {
        if (const double* value = line.find(char('X' + axis))) {
            const double offset = machineFrame ? 0 : machine_.workOffset[axis];
            target[axis] = relative ? target[axis] + *value * unit : *value * unit + offset;
        }
    }
    const bool rapid = !jog && modes_.rapid;
    const double feed = jog ? *line.find('F') * unit : modes_.feedPerMinute;
    if (!rapid && feed <= 0) {
        return "error:22";
    }
    if (machine_.softLimits && !insideTravel(target)) {
        if (jog) {
            return "error:15";
        }
        softLimitAlarm();
        return "";
    }
    plan(target, rapid ? std::numeric_limits<double>::infinity() : feed, jog);
    return "ok";
}

bool FakeGrbl::insideTravel(const std::array<double, 3>& target) const {
    constexpr double tolerance = 1e-6;
    for (int axis = 0; axis < 3; ++axis) {
        if (target[axis] > tolerance || target[axis] < -machine_.travel[axis] - tolerance) {
            return false;
        }
    }
    return true;
}

/// GRBL spends half a second saying an alarm, deaf even to a reset; the line that raised it is
/// answered only when a reset ends the alarm.
void FakeGrbl::softLimitAlarm() {
    planner_.clear();
    received_.clear();
    speed_ = 0;
    stopping_ = false;
    say("ALARM:2");
    sayLater(0.5, "[MSG:Reset to continue]");
    state_ = State::Alarm;
    critical_ = true;
    okOnReset_ = true;
}

void FakeGrbl::plan(const std::array<double, 3>& target, double feedPerMinute, bool jog) {
    const auto from = planner_.empty() ? position_ : planner_.back().target;
    Block block{target, {}, 0, feedPerMinute / 60, std::numeric_limits<double>::infinity(), jog};
    for (int axis = 0; axis < 3; ++axis) {
        block.length += (target[axis] - from[axis]) * (target[axis] - from[axis]);
    }
    block.length = std::sqrt(block.length);
    if (block.length < 1e-9) {
        return; // GRBL drops a move of no length
    }
    for (int axis = 0; axis < 3; ++axis) {
        const double share = std::abs(target[axis] - from[axis]) / block.length;
        block.direction[axis] = (target[axis] - from[axis]) / block.length;
        if (share > 0) {
            block.cruise = std::min(block.cruise, machine_.maxRatePerMinute[axis] / 60 / share);
            block.accel = std::min(block.accel, machine_.accel[axis] / share);
        }
    }
    planner_.push_back(block);
    if (state_ == State::Idle) {
        state_ = jog ? State::Jog : State::Run;
    }
}

} // namespace chimex
