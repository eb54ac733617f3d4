// SPDX-License-Identifier: MIT
#include "planner.h"

#include "grbl_steps.h"
#include "klipper_planner.h"

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
    // Klipper holds the path to its acceleration, and Z's share to Z's.
    double accel = plansAsKlipper(c) ? c.accel[0] : std::numeric_limits<double>::infinity();
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
    std::vector<bool> taken; // Klipper skips a move of no length: it is entered at rest
    for (const PlannerMove& m : run) {
        taken.push_back(planner.move(m));
    }
    planner.stop();
    std::vector<double> entries;
    for (const bool moved : taken) {
        std::optional<PlannedStep> step;
        while (moved && (step = planner.next()) && !(step->speeds.feed > 0)) {
        }
        entries.push_back(step ? step->speeds.entry : 0);
    }
    return entries;
}

MotionPlanner::MotionPlanner(const Controller& c, double entry) : controller_(c), entry_(entry) {
    if (plansAsKlipper(c)) {
        KlipperLimits limits;
        limits.maxVelocity = 1e9; // the notes' feeds are the settings' to bound
        limits.maxAccel = c.accel[0];
        limits.maxZAccel = c.accel[2];
        limits.squareCornerVelocity = c.klipper.squareCornerVelocity;
        limits.minimumCruiseRatio = c.klipper.minimumCruiseRatio;
        klipper_ = std::make_unique<KlipperPlanner>(limits);
    }
}

MotionPlanner::MotionPlanner(MotionPlanner&&) noexcept = default;
MotionPlanner& MotionPlanner::operator=(MotionPlanner&&) noexcept = default;
MotionPlanner::~MotionPlanner() = default;

double MotionPlanner::clock() const {
    return klipper_ ? klipper_->clock() : clock_;
}

bool MotionPlanner::move(const Direction& displacement, double feed) {
    if (klipper_) {
        return klipper_->move(displacement, feed);
    }
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

bool MotionPlanner::move(const PlannerMove& m) {
    if (klipper_) {
        return klipper_->move({m.unit[0] * m.length, m.unit[1] * m.length, m.unit[2] * m.length},
                              m.feed);
    }
    Pending p;
    p.move = m;
    p.isMove = true;
    pending_.push_back(p);
    return true;
}

void MotionPlanner::dwell(double seconds) {
    if (klipper_) {
        klipper_->dwell(std::max(seconds, 0.0));
        return;
    }
    Pending p;
    p.isDwell = true;
    p.seconds = controller_.grblSteps ? grblDwell(seconds) : std::max(seconds, 0.0);
    pending_.push_back(p);
}

void MotionPlanner::stop() {
    if (klipper_) {
        klipper_->stop();
        return;
    }
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
    if (klipper_) {
        return klipper_->next();
    }
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
