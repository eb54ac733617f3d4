// SPDX-License-Identifier: MIT
// The fake GRBL's time: real-time bytes, motion on 1 ms steps, status reports.
#include "fake_grbl.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace chimex {

namespace {

constexpr auto step = std::chrono::milliseconds(1);
constexpr double stepSeconds = 0.001;
/// GRBL runs the step segments it has prepared (about 41 ms at speed) before it slows for a
/// feed hold or a jog cancel.
constexpr double preparedSeconds = 0.041;
/// A reset while moving: GRBL waits $1 (255 ms) inside the reset, says ALARM:3, then spends half
/// a second saying it before it starts again.
constexpr double alarmSeconds = 0.5;
constexpr double resetWaitSeconds = 0.255;

bool collinear(const auto& a, const auto& b) {
    double dot = 0;
    for (int axis = 0; axis < 3; ++axis) {
        dot += a.direction[axis] * b.direction[axis];
    }
    return a.jog == b.jog && dot > 1 - 1e-9;
}

std::string axesText(const std::array<double, 3>& values) {
    char text[96];
    std::snprintf(text, sizeof text, "%.3f,%.3f,%.3f", values[0], values[1], values[2]);
    return text;
}

} // namespace

void FakeGrbl::receive(std::string_view bytes, LinkTime time) {
    advanceTo(time);
    if (time < deafUntil_) {
        bytesLost_ += bytes.size();
        return;
    }
    for (unsigned char byte : bytes) {
        if (byte == '?' || byte == '!' || byte == '~' || byte == 0x18 || byte > 0x7f) {
            realTime(byte);
        } else if (received_.size() >= std::size_t(machine_.receiveBytes)) {
            ++bytesLost_;
        } else {
            received_ += char(byte);
            peakReceived_ = std::max(peakReceived_, received_.size());
        }
    }
    takeLines();
}

std::string FakeGrbl::runUntil(LinkTime time) {
    advanceTo(time);
    return std::exchange(said_, {});
}

std::optional<LinkTime> FakeGrbl::nextChange() const {
    if (!said_.empty()) {
        return time_;
    }
    const bool holding = state_ == State::Hold && !stopping_;
    if (!later_.empty() || dwellLeft_ > 0 || (!holding && (!planner_.empty() || speed_ > 0))) {
        return time_ + step;
    }
    return std::nullopt;
}

void FakeGrbl::advanceTo(LinkTime time) {
    while (time_ + step <= time) {
        time_ += step;
        while (!later_.empty() && later_.front().at <= time_) {
            const Later due = later_.front();
            later_.pop_front();
            if (due.restart) {
                welcome(true);
            } else {
                say(due.line);
            }
        }
        tick();
    }
}

void FakeGrbl::realTime(unsigned char byte) {
    if (critical_ && byte != 0x18) {
        return;
    }
    if (byte == '?') {
        reportStatus();
    } else if (byte == '!' && (state_ == State::Run || state_ == State::Idle)) {
        stopping_ = state_ == State::Run;
        brakeDelay_ = preparedSeconds;
        state_ = State::Hold;
    } else if ((byte == '!' || byte == 0x85) && state_ == State::Jog) {
        stopping_ = true; // a jog cancel; ignored in any other state
        brakeDelay_ = preparedSeconds;
    } else if (byte == '~' && state_ == State::Hold && !stopping_) {
        state_ = planner_.empty() ? State::Idle : State::Run;
        if (std::exchange(paused_, false)) {
            say("ok");
        }
        takeLines();
    } else if (byte == 0x18) {
        reset();
    }
}

void FakeGrbl::reset() {
    const bool moving = speed_ > 0 || !planner_.empty();
    const bool alarm = moving || state_ == State::Alarm;
    received_.clear();
    planner_.clear();
    speed_ = 0;
    stopping_ = paused_ = critical_ = false;
    dwellLeft_ = 0;
    modes_ = {};
    if (std::exchange(okOnReset_, false)) {
        say("ok");
    }
    if (moving) {
        sayLater(resetWaitSeconds, "ALARM:3");
        sayLater(resetWaitSeconds + alarmSeconds, "", true);
        state_ = State::Alarm;
        return;
    }
    welcome(alarm);
}

void FakeGrbl::sayLater(double seconds, const std::string& line, bool restart) {
    const auto at = time_ + std::chrono::duration_cast<LinkTime::duration>(
                                std::chrono::duration<double>(seconds));
    later_.push_back({at, line, restart});
    deafUntil_ = std::max(deafUntil_, at);
}

void FakeGrbl::tick() {
    if (dwellLeft_ > 0) {
        dwellLeft_ -= stepSeconds;
        if (dwellLeft_ <= 1e-9) {
            dwellLeft_ = 0;
            say("ok");
            takeLines();
        }
        return;
    }
    if (state_ == State::Hold && !stopping_) {
        return;
    }
    if (planner_.empty()) {
        speed_ = 0;
        stopped();
        return;
    }
    const Block& block = planner_.front();
    brakeDelay_ = stopping_ ? brakeDelay_ - stepSeconds : 0;
    const double allowed = stopping_ && brakeDelay_ < 0 ? 0 : allowedSpeed();
    const double change = block.accel * stepSeconds;
    speed_ =
        speed_ < allowed ? std::min(allowed, speed_ + change) : std::max(allowed, speed_ - change);
    speed_ = std::min(speed_, allowedSpeed());
    advance(speed_ * stepSeconds);
    if (speed_ == 0 || planner_.empty()) {
        stopped();
    }
    takeLines();
}

/// The fastest speed from which the machine can still meet every later move's speed, and stop
/// at the end of the moves that follow in one line.
double FakeGrbl::allowedSpeed() const {
    const Block& front = planner_.front();
    double left = 0;
    for (int axis = 0; axis < 3; ++axis) {
        left += (front.target[axis] - position_[axis]) * front.direction[axis];
    }
    double allowed = front.cruise;
    for (std::size_t next = 1; next < planner_.size(); ++next) {
        if (!collinear(planner_[next - 1], planner_[next])) {
            break;
        }
        allowed = std::min(allowed, std::sqrt(std::pow(planner_[next].cruise, 2) +
                                              2 * front.accel * std::max(left, 0.0)));
        left += planner_[next].length;
    }
    return std::min(allowed, std::sqrt(2 * front.accel * std::max(left, 0.0)) + 1e-9);
}

void FakeGrbl::advance(double distance) {
    while (distance > 0 && !planner_.empty()) {
        const Block& block = planner_.front();
        double left = 0;
        for (int axis = 0; axis < 3; ++axis) {
            left += (block.target[axis] - position_[axis]) * block.direction[axis];
        }
        if (distance < left) {
            for (int axis = 0; axis < 3; ++axis) {
                position_[axis] += block.direction[axis] * distance;
            }
            return;
        }
        position_ = block.target;
        distance -= std::max(left, 0.0);
        const bool joined = planner_.size() > 1 && collinear(block, planner_[1]);
        planner_.pop_front();
        if (!joined) {
            speed_ = 0;
            return;
        }
    }
}

/// The machine stands still: a hold waits for a cycle start, a cancelled jog drops the jog moves
/// it planned (the lines still in the receive buffer run next), a finished move set idles.
void FakeGrbl::stopped() {
    if (stopping_ && state_ == State::Jog) {
        planner_.clear();
    }
    stopping_ = false;
    if ((state_ == State::Run || state_ == State::Jog) && planner_.empty()) {
        state_ = State::Idle;
    }
}

std::string FakeGrbl::state() const {
    switch (state_) {
    case State::Idle:
        return "Idle";
    case State::Run:
        return "Run";
    case State::Hold:
        return stopping_ ? "Hold:1" : "Hold:0";
    case State::Jog:
        return "Jog";
    case State::Alarm:
        return "Alarm";
    }
    return "";
}

void FakeGrbl::reportStatus() {
    const bool machineFrame = machine_.statusMask & 1;
    auto shown = position_;
    for (int axis = 0; !machineFrame && axis < 3; ++axis) {
        shown[axis] -= machine_.workOffset[axis];
    }
    std::string report = "<" + state() + (machineFrame ? "|MPos:" : "|WPos:") + axesText(shown);
    if (machine_.statusMask & 2) {
        report += "|Bf:" + std::to_string(machine_.plannerBlocks - int(planner_.size())) + "," +
                  std::to_string(machine_.receiveBytes - int(received_.size()));
    }
    report += "|FS:" + std::to_string(int(std::lround(speed_ * 60))) + ",0";
    if (!machineFrame && (reportsSinceOffset_ < 0 || reportsSinceOffset_ >= 10)) {
        report += "|WCO:" + axesText(machine_.workOffset);
        reportsSinceOffset_ = 0;
    } else {
        ++reportsSinceOffset_;
    }
    say(report + ">");
}

} // namespace chimex
