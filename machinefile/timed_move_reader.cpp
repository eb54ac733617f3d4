// SPDX-License-Identifier: MIT
#include "timed_move_reader.h"

#include "files/failure.h"
#include "partfile/number_text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

namespace chimex {
namespace {

double axisAccel(Axis axis, const AxisAcceleration& accel) {
    return axis == Axis::Z ? accel.z : accel.xy;
}

} // namespace

double moveSeconds(double distance, double speed, Axis axis,
                   const std::optional<AxisAcceleration>& accel) {
    if (!accel || !(speed > 0)) {
        return distance / speed;
    }
    return moveDuration(distance, {speed, 0, 0, axisAccel(axis, *accel)});
}

TimedMoveReader::TimedMoveReader(std::istream& in, std::string name,
                                 std::optional<AxisAcceleration> accel)
    : name_(std::move(name)), accel_(accel), reader_(in, [this](const MoveIssue& issue) {
          throw InputFailure(name_, issue.line, issue.message);
      }) {}

TimedMoveReader::TimedMoveReader(std::istream& in, std::string name, const Controller& blending)
    : TimedMoveReader(in, std::move(name)) {
    planner_.emplace(blending);
}

std::optional<MoveEvent> TimedMoveReader::read() {
    if (held_) {
        return std::exchange(held_, std::nullopt);
    }
    try {
        return reader_.next();
    } catch (const InputFailure& failure) {
        throw failure.inFile(name_);
    }
}

/// The next event read; the axes of a G1 along a path once its whole line is read and timed.
std::optional<MoveEvent> TimedMoveReader::readLineMoves() {
    if (pathNext_ < path_.size()) {
        return path_[pathNext_++];
    }
    const auto event = read();
    if (!event || !event->alongPath) {
        return event;
    }
    path_.assign(1, *event);
    while (auto more = read()) {
        if (!more->alongPath || more->line != event->line) {
            held_ = std::move(more);
            break;
        }
        path_.push_back(*more);
    }
    timePath();
    pathNext_ = 1;
    return path_.front();
}

/// The length of the G1's line, its feed (the axes' speeds as one vector), its acceleration
/// along the line (each axis takes its share of it) and so its time.
void TimedMoveReader::timePath() {
    std::array<double, 3> distance{}, speed{};
    for (const MoveEvent& move : path_) {
        distance[static_cast<std::size_t>(move.axis)] = std::fabs(move.target - move.from);
        speed[static_cast<std::size_t>(move.axis)] = move.speed.value_or(0);
    }
    pathLength_ = std::hypot(distance[0], distance[1], distance[2]);
    const double feed = std::hypot(speed[0], speed[1], speed[2]);
    pathAccel_ = 0;
    if (!accel_ || !(feed > 0)) {
        pathSeconds_ = pathLength_ / feed;
        return;
    }
    pathAccel_ = std::numeric_limits<double>::infinity();
    for (const MoveEvent& move : path_) {
        const double share = std::fabs(move.target - move.from) / pathLength_;
        if (share > 0) {
            pathAccel_ = std::min(pathAccel_, axisAccel(move.axis, *accel_) / share);
        }
    }
    pathSeconds_ = moveDuration(pathLength_, {feed, 0, 0, pathAccel_});
}

std::optional<TimedEvent> TimedMoveReader::next() {
    return planner_ ? nextBlended() : nextAtRest();
}

std::optional<TimedEvent> TimedMoveReader::nextAtRest() {
    while (const auto event = readLineMoves()) {
        if (event->line != line_) {
            clock_ += lineSeconds_;
            lineSeconds_ = 0;
            line_ = event->line;
        }
        if (auto result = timed(*event)) {
            lineSeconds_ = std::max(lineSeconds_, result->seconds);
            if (!std::isfinite(clock_ + lineSeconds_)) {
                throw InputFailure(name_, line_, "the running time grows beyond reckoning");
            }
            return result;
        }
    }
    return std::nullopt;
}

std::optional<TimedEvent> TimedMoveReader::nextBlended() {
    while (ready_ == 0) {
        if (!planLine()) {
            if (ended_) {
                return std::nullopt;
            }
            ended_ = true;
            planner_->stop();
            stepEvents_.push_back(0);
            takePlanned();
        }
    }
    --ready_;
    TimedEvent event = std::move(planned_.front());
    planned_.pop_front();
    return event;
}

/// Gives the planner the next line: its move, dwell or stop. False at the end of the file.
bool TimedMoveReader::planLine() {
    const auto first = readLineMoves();
    if (!first) {
        return false;
    }
    std::vector<MoveEvent> line{*first};
    while (first->alongPath && pathNext_ < path_.size()) {
        line.push_back(path_[pathNext_++]);
    }
    std::array<double, 3> shift{}, speed{};
    std::size_t count = 0;
    bool known = true;
    for (const MoveEvent& event : line) {
        const auto result = timed(event);
        if (!result) {
            continue;
        }
        ++count;
        known = known && result->timed;
        planned_.push_back(*result);
        if (event.kind == MoveEventKind::Move && result->timed) {
            shift[static_cast<std::size_t>(event.axis)] = event.target - event.from;
            speed[static_cast<std::size_t>(event.axis)] = *event.speed;
        }
    }
    if (first->kind == MoveEventKind::Pause) {
        planner_->dwell(first->seconds);
    } else if (count == 0) {
        return true; // a move of no length
    } else if (!known || !planner_->move(shift, std::hypot(speed[0], speed[1], speed[2]))) {
        planner_->stop();
    }
    stepEvents_.push_back(count);
    takePlanned();
    if (!std::isfinite(planner_->clock())) {
        throw InputFailure(name_, first->line, "the running time grows beyond reckoning");
    }
    return true;
}

/// Times the events of the steps the planner has timed, each axis of a move at its share.
void TimedMoveReader::takePlanned() {
    while (const auto step = planner_->next()) {
        const std::size_t count = stepEvents_.front();
        stepEvents_.pop_front();
        for (std::size_t i = ready_; i < ready_ + count; ++i) {
            TimedEvent& t = planned_[i];
            t.start = step->start;
            if (t.event.kind != MoveEventKind::Move || !t.timed) {
                continue;
            }
            const MoveSpeeds& s = step->speeds;
            const double share = *t.event.speed / s.feed;
            t.seconds = step->seconds;
            t.accel = s.accel * share;
            t.entry = s.entry * share;
            t.exit = s.exit * share;
        }
        ready_ += count;
    }
}

std::optional<TimedEvent> TimedMoveReader::timed(const MoveEvent& event) {
    TimedEvent result{event, clock_, 0, true};
    if (event.kind == MoveEventKind::Pause) {
        if (event.seconds < 0) {
            negativePauses_.add(event.line, event.seconds);
        }
        if (!(event.seconds > 0)) {
            return std::nullopt;
        }
        result.seconds = event.seconds;
        return result;
    }
    const double distance = std::fabs(event.target - event.from);
    if (!(distance > 0)) {
        return std::nullopt;
    }
    if (!event.speed) {
        ownSpeed_.add(event.line);
        result.timed = false;
        return result;
    }
    const double seconds =
        event.alongPath ? pathSeconds_ : moveSeconds(distance, *event.speed, event.axis, accel_);
    if (!(*event.speed > 0) || !std::isfinite(seconds)) {
        neverArrives_.add(event.line, *event.speed);
        result.timed = false;
        return result;
    }
    result.seconds = seconds;
    if (event.alongPath) {
        result.accel = pathAccel_ * distance / pathLength_;
    } else if (accel_) {
        result.accel = axisAccel(event.axis, *accel_);
    }
    return result;
}

void TimedMoveReader::printWarnings(std::ostream& err) const {
    printWarning(err, ownSpeed_,
                 "moves at the machine's own jog speed (no JS line sets it, or G0); not timed");
    printWarning(err, neverArrives_, "moves at a speed that never gets there; not timed");
    printWarning(err, negativePauses_, "pauses of negative length; left out");
}

} // namespace chimex
