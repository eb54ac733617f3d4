// SPDX-License-Identifier: MIT
#include "timed_move_reader.h"

#include "files/failure.h"
#include "partfile/number_text.h"

#include <algorithm>
#include <cmath>

namespace chimex {

double moveSeconds(double distance, double speed, Axis axis,
                   const std::optional<AxisAcceleration>& accel) {
    if (!accel || !(speed > 0)) {
        return distance / speed;
    }
    return moveDuration(distance, {speed, 0, 0, axis == Axis::Z ? accel->z : accel->xy});
}

TimedMoveReader::TimedMoveReader(std::istream& in, std::string name,
                                 std::optional<AxisAcceleration> accel)
    : name_(std::move(name)), accel_(accel), reader_(in, [this](const MoveIssue& issue) {
          throw InputFailure(name_, issue.line, issue.message);
      }) {}

std::optional<MoveEvent> TimedMoveReader::read() {
    try {
        return reader_.next();
    } catch (const InputFailure& failure) {
        throw failure.inFile(name_);
    }
}

std::optional<TimedEvent> TimedMoveReader::next() {
    while (const auto event = read()) {
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
    const double seconds = moveSeconds(distance, *event.speed, event.axis, accel_);
    if (!(*event.speed > 0) || !std::isfinite(seconds)) {
        neverArrives_.add(event.line, *event.speed);
        result.timed = false;
        return result;
    }
    result.seconds = seconds;
    return result;
}

void TimedMoveReader::printWarnings(std::ostream& err) const {
    printWarning(err, ownSpeed_,
                 "moves at the machine's own jog speed (no JS line sets it, or G0); not timed");
    printWarning(err, neverArrives_, "moves at a speed that never gets there; not timed");
    printWarning(err, negativePauses_, "pauses of negative length; left out");
}

} // namespace chimex
