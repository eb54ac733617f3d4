// SPDX-License-Identifier: MIT
#include "planner.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace chimex {

double lengthOf(const Direction& v) {
    double largest = 0;
    for (const double part : v) {
        largest = std::max(largest, std::abs(part));
    }
    if (!(largest > 0)) {
        return 0;
    }
    double sum = 0;
    for (const double part : v) {
        sum += (part / largest) * (part / largest);
    }
    return largest * std::sqrt(sum);
}

double accelAlong(const Direction& unit, const Controller& c) {
    double accel = std::numeric_limits<double>::infinity();
    for (std::size_t a = 0; a < 3; ++a) {
        if (unit[a] != 0) {
            accel = std::min(accel, c.accel[a] / std::abs(unit[a]));
        }
    }
    return accel;
}

std::vector<double> entrySpeeds(const std::vector<PlannerMove>& run, const Controller& c) {
    return entrySpeeds(run, c, 0);
}

std::vector<double> entrySpeeds(const std::vector<PlannerMove>& run, const Controller& c,
                                double entry) {
    MotionPlanner planner(c, entry);
    for (const PlannerMove& m : run) {
        planner.move(m);
    }
    planner.stop();
    std::vector<double> entries;
    while (const auto step = planner.next()) {
        if (step->speeds.feed > 0) {
            entries.push_back(step->speeds.entry);
        }
    }
    return entries;
}

bool MotionPlanner::move(const Direction& displacement, double feed) {
    PlannerMove m;
    m.length = lengthOf(displacement);
    if (!(m.length > 0) || !(feed > 0) || !std::isfinite(m.length * feed)) {
        return false;
    }
    for (std::size_t a = 0; a < 3; ++a) {
        m.unit[a] = displacement[a] / m.length;
    }
    m.feed = feed;
    m.accel = accelAlong(m.unit, controller_);
    move(m);
    return true;
}

void MotionPlanner::move(const PlannerMove& m) {
    Pending p;
    p.move = m;
    p.isMove = true;
    pending_.push_back(p);
}

void MotionPlanner::dwell(double seconds) {
    Pending p;
    p.isDwell = true;
    p.seconds = std::max(seconds, 0.0);
    pending_.push_back(p);
}

void MotionPlanner::stop() {
    pending_.push_back(Pending{});
}

/// The speed the front move is left at, once the moves it can see ahead are known: the entry of
/// the next, at most its corner and feed limits, slow enough to stop within the moves in view and
/// reachable from the front move's entry.
std::optional<double> MotionPlanner::exitSpeed() const {
    const Controller& c = controller_;
    const std::size_t view = std::max<std::size_t>(c.lookAhead, 1);
    std::size_t end = 1;
    while (end < pending_.size() && pending_[end].isMove && end <= view) {
        ++end;
    }
    if (end == pending_.size() && end <= view) {
        return std::nullopt; // more moves may come into view
    }
    const auto corner = [&](std::size_t k) {
        const PlannerMove& a = pending_[k - 1].move;
        const PlannerMove& b = pending_[k].move;
        return c.exactStop ? 0.0
                           : std::min({a.feed, b.feed, cornerSpeed(a.unit, b.unit, c.corner)});
    };
    double back = 0; // stopping at the end of the last move in view
    for (std::size_t k = end; k-- > 1;) {
        back = std::min(corner(k), std::sqrt(back * back +
                                             2 * pending_[k].move.accel * pending_[k].move.length));
    }
    const PlannerMove& front = pending_.front().move;
    return std::min(back, std::sqrt(entry_ * entry_ + 2 * front.accel * front.length));
}

std::optional<PlannedStep> MotionPlanner::next() {
    if (pending_.empty()) {
        return std::nullopt;
    }
    PlannedStep step;
    const Pending& front = pending_.front();
    if (front.isMove) {
        const auto exit = exitSpeed();
        if (!exit) {
            return std::nullopt;
        }
        moved_ = true;
        step.speeds = {front.move.feed, entry_, *exit, front.move.accel};
        step.seconds = quantised(moveDuration(front.move.length, step.speeds), controller_);
        entry_ = *exit;
    } else {
        step.seconds = front.seconds;
        entry_ = 0;
        if (front.isDwell && moved_) {
            clock_ += controller_.stopDelay;
            moved_ = false;
        }
    }
    step.start = clock_;
    clock_ += step.seconds;
    pending_.pop_front();
    return step;
}

} // namespace chimex
