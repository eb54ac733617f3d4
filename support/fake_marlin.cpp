// SPDX-License-Identifier: MIT
#include "fake_marlin.h"

#include "link/marlin_session.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace chimex {

namespace {

std::string trimmed(std::string text) {
    const auto first = text.find_first_not_of(" \r\n\t");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \r\n\t") - first + 1);
}

/// `G1`, `M110`: the command's letter and number.
std::string codeOf(const std::string& command) {
    const auto end = command.find(' ');
    return command.substr(0, end);
}

std::optional<double> word(const std::string& command, char letter) {
    for (auto at = command.find(' '); at != std::string::npos; at = command.find(' ', at + 1)) {
        if (at + 1 < command.size() && command[at + 1] == letter) {
            return std::strtod(command.c_str() + at + 2, nullptr);
        }
    }
    return std::nullopt;
}

LinkTime::duration seconds(double value) {
    return std::chrono::duration_cast<LinkTime::duration>(std::chrono::duration<double>(value));
}

} // namespace

FakeMarlin::FakeMarlin(FakeMarlinMachine machine, LinkTime start)
    : machine_(std::move(machine)), time_(start) {}

void FakeMarlin::receive(std::string_view bytes, LinkTime time) {
    advanceTo(time);
    if (killed_ || bootEnd_) {
        return;
    }
    for (const char byte : bytes) {
        if (serial_.size() >= machine_.serialBytes) {
            ++bytesLost_;
        } else {
            serial_ += byte;
        }
        if (machine_.emergencyParser) {
            arriving_ += byte;
            if (byte == '\n') {
                emergency(trimmed(std::exchange(arriving_, {})));
            }
        }
    }
    work();
}

std::string FakeMarlin::runUntil(LinkTime time) {
    advanceTo(time);
    return std::exchange(said_, {});
}

std::optional<LinkTime> FakeMarlin::nextChange() const {
    return said_.empty() ? nextEvent() : std::optional(time_);
}

std::optional<LinkTime> FakeMarlin::nextEvent() const {
    std::optional<LinkTime> next = nextBusy_;
    for (const auto& event :
         {planner_.empty() ? std::optional<LinkTime>() : blockEnd_, dwellEnd_, bootEnd_}) {
        if (event && (!next || *event < *next)) {
            next = event;
        }
    }
    return next;
}

void FakeMarlin::advanceTo(LinkTime time) {
    for (auto next = nextEvent(); !killed_ && next && *next <= time; next = nextEvent()) {
        time_ = std::max(time_, *next);
        if (bootEnd_ && *bootEnd_ <= time_) {
            bootEnd_.reset();
            say("start");
            say("echo:Marlin 2.1.2.1");
        }
        if (!planner_.empty() && blockEnd_ <= time_) {
            position_ = planner_.front().target;
            planner_.pop_front();
            ++movesDone_;
            blockEnd_ = planner_.empty() ? blockEnd_ : time_ + planner_.front().duration;
        }
        if (nextBusy_ && *nextBusy_ <= time_) {
            say(waitingForUser_ ? "echo:busy: paused for user" : "echo:busy: processing");
            *nextBusy_ += machine_.keepAlive;
        }
        work();
    }
    time_ = std::max(time_, time);
}

/// Marlin's main loop: read lines while its queue has room, run the front line, again. A
/// command that waits (nextBusy_ set) keeps the loop, so lines wait in the serial buffer.
void FakeMarlin::work() {
    while (!killed_) {
        if (!nextBusy_) {
            readSerial(); // not while a command waits: it holds Marlin's main loop
        }
        if (queue_.empty()) {
            return;
        }
        if (!runFront()) {
            if (!killed_ && !nextBusy_) {
                nextBusy_ = time_ + machine_.keepAlive;
            }
            return;
        }
        nextBusy_.reset();
    }
}

void FakeMarlin::readSerial() {
    while (queue_.size() < machine_.commandSlots) {
        const auto end = serial_.find('\n');
        if (end == std::string::npos || !takeLine(serial_.substr(0, end))) {
            return;
        }
        serial_.erase(0, end + 1);
    }
}

/// Checks a line as Marlin does and queues it; false when it was refused.
bool FakeMarlin::takeLine(std::string line) {
    line = trimmed(line);
    Command command{line, std::nullopt};
    if (line.starts_with('N')) {
        const auto number = std::strtoll(line.c_str() + 1, nullptr, 10);
        if (machine_.corruptLine && !corrupted_ && number == std::int64_t(*machine_.corruptLine)) {
            corrupted_ = true;
            line[line.find(' ') + 1] ^= 2;
        }
        const bool m110 = line.find("M110") != std::string::npos;
        const auto renumber = m110 ? line.find('N', line.find("M110")) : std::string::npos;
        const auto given = renumber == std::string::npos
                               ? number
                               : std::strtoll(line.c_str() + renumber + 1, nullptr, 10);
        const auto star = line.rfind('*');
        if (!m110 && given != lastNumber_ + 1) {
            lineError("Line Number is not Last Line Number+1");
        } else if (star == std::string::npos) {
            lineError("No Checksum with line number");
        } else if (std::strtol(line.c_str() + star + 1, nullptr, 10) !=
                   marlinChecksum(std::string_view(line).substr(0, star))) {
            lineError("checksum mismatch");
        } else {
            lastNumber_ = given;
            command = {trimmed(line.substr(line.find(' '), star - line.find(' '))), number};
        }
        if (!command.number) {
            return false;
        }
    }
    command.text = trimmed(command.text.substr(0, command.text.find(';')));
    if (command.text.empty()) {
        return true;
    }
    if (!machine_.emergencyParser && !command.number) {
        emergency(command.text); // read ahead of the queue, though only once the queue reads
    }
    linesTaken_.push_back(command.text);
    queue_.push_back(std::move(command));
    return true;
}

/// Refuses a line and what followed it in the serial buffer, asking for it again.
void FakeMarlin::lineError(const std::string& error) {
    say("Error:" + error + ", Last Line: " + std::to_string(lastNumber_));
    serial_.clear();
    say("Resend: " + std::to_string(lastNumber_ + 1));
    ++resends_;
}

void FakeMarlin::emergency(const std::string& line) {
    if (line == "M108") {
        waitingForUser_ = false;
    } else if (line == "M112") {
        kill();
    } else if (line == "M410") {
        quickStop();
    }
}

bool FakeMarlin::runFront() {
    if (!runCommand(queue_.front().text) || killed_) {
        return false;
    }
    const Command done = std::move(queue_.front());
    queue_.pop_front();
    answer(done);
    return true;
}

bool FakeMarlin::runCommand(const std::string& command) {
    const std::string code = codeOf(command);
    if (code == "G0" || code == "G1") {
        return move(command);
    }
    if (code == "G4") {
        return dwell(command);
    }
    if (code == "M400") {
        return planner_.empty();
    }
    if (code == "M0" || code == "M1") {
        return pause();
    }
    if (code == "M503") {
        for (const auto& line : machine_.report) {
            say(line);
        }
    } else if (code == "M410" || code == "M112" || code == "M108") {
        emergency(code);
    } else if (code == "G90" || code == "G91") {
        relative_ = code == "G91";
    } else if (code != "M110" && code != "G21" && code != "M17" && code != "M84") {
        say("echo:Unknown command: \"" + command + "\"");
    }
    return true;
}

bool FakeMarlin::move(const std::string& command) {
    if (planner_.size() >= machine_.plannerBlocks) {
        return false;
    }
    feedPerMinute_ = word(command, 'F').value_or(feedPerMinute_);
    const auto from = planner_.empty() ? position_ : planner_.back().target;
    auto target = from;
    double squared = 0;
    for (int axis = 0; axis < 3; ++axis) {
        if (const auto value = word(command, char('X' + axis))) {
            target[axis] = relative_ ? from[axis] + *value : *value;
        }
        squared += (target[axis] - from[axis]) * (target[axis] - from[axis]);
    }
    if (squared > 0 && feedPerMinute_ > 0) {
        planner_.push_back({target, seconds(std::sqrt(squared) * 60 / feedPerMinute_)});
        blockEnd_ = planner_.size() == 1 ? time_ + planner_.front().duration : blockEnd_;
    }
    return true;
}

/// M0: every move finished first, then its user asked.
bool FakeMarlin::pause() {
    if (!planner_.empty()) {
        return false;
    }
    if (!pausing_) {
        pausing_ = waitingForUser_ = true;
    }
    if (waitingForUser_) {
        return false;
    }
    pausing_ = false;
    return true;
}

/// G4 P<ms> or S<s>: every move finished first.
bool FakeMarlin::dwell(const std::string& command) {
    if (!planner_.empty()) {
        return false;
    }
    if (!dwellEnd_) {
        const double wait = word(command, 'S').value_or(word(command, 'P').value_or(0) / 1000);
        dwellEnd_ = time_ + seconds(wait);
    }
    if (time_ < *dwellEnd_) {
        return false;
    }
    dwellEnd_.reset();
    return true;
}

/// M410: the steppers stop where they are; the planner is emptied.
void FakeMarlin::quickStop() {
    if (!planner_.empty()) {
        const Block& block = planner_.front();
        const double left = std::chrono::duration<double>(blockEnd_ - time_) /
                            std::chrono::duration<double>(block.duration);
        for (int axis = 0; axis < 3; ++axis) {
            position_[axis] = block.target[axis] - left * (block.target[axis] - position_[axis]);
        }
    }
    planner_.clear();
}

void FakeMarlin::answer(const Command& command) {
    if (!machine_.advancedOk) {
        say("ok");
        return;
    }
    say("ok" + (command.number ? " N" + std::to_string(*command.number) : std::string()) + " P" +
        std::to_string(machine_.plannerBlocks - planner_.size()) + " B" +
        std::to_string(machine_.commandSlots - queue_.size()));
}

void FakeMarlin::pressButton() {
    waitingForUser_ = false;
    work();
}

void FakeMarlin::restart() {
    const LinkTime now = time_;
    *this = FakeMarlin(machine_, now);
    bootEnd_ = now + machine_.bootTime;
}

void FakeMarlin::kill() {
    say("Error:Printer halted. kill() called!");
    quickStop();
    queue_.clear();
    serial_.clear();
    nextBusy_.reset();
    dwellEnd_.reset();
    killed_ = true;
}

} // namespace chimex
