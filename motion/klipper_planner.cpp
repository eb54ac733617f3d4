// SPDX-License-Identifier: MIT
#include "klipper_planner.h"

#include <algorithm>
#include <cmath>

namespace chimex {

namespace {

/// Klipper skips a move shorter than this (mm) as having no length.
constexpr double shortestMove = 1e-9;
/// Seconds of moves (at their feeds) the look-ahead gathers before it plans, and after a stop.
constexpr double lookAheadSeconds = 0.15;
constexpr double primeSeconds = 1;

double dot(const Direction& a, const Direction& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

} // namespace

double cruiseRatioOfAccelToDecel(double accelToDecel, double maxAccel) {
    return 1 - std::min(1.0, accelToDecel / maxAccel);
}

KlipperPlanner::KlipperPlanner(const KlipperLimits& limits) : limits_(limits) {
    if (!(limits_.maxZVelocity > 0)) {
        limits_.maxZVelocity = limits_.maxVelocity;
    }
    if (!(limits_.maxZAccel > 0)) {
        limits_.maxZAccel = limits_.maxAccel;
    }
    // The deviation at which a 90° corner allows exactly the square corner velocity.
    const double scv = limits_.squareCornerVelocity;
    deviation_ = scv * scv * (std::sqrt(2.0) - 1) / limits_.maxAccel;
    // A ratio of 1 or more, which Klipper refuses, would leave no acceleration to plan with.
    cruiseAccel_ = limits_.maxAccel * (1 - std::clamp(limits_.minimumCruiseRatio, 0.0, 0.999));
    budget_ = primeSeconds;
}

/// A move as the look-ahead holds it, before it is joined to the move before; nothing for one
/// Klipper skips or one of no speed or beyond reckoning.
std::optional<KlipperPlanner::Queued> KlipperPlanner::queued(const Direction& displacement,
                                                             double feed) const {
    Queued m;
    m.length = lengthOf(displacement);
    if (!(m.length >= shortestMove) || !(feed > 0) || !std::isfinite(m.length * feed)) {
        return std::nullopt;
    }
    // Through the inverse, as Klipper does: a reversal's cosine may then miss 1 by a rounding.
    const double inverse = 1 / m.length;
    for (std::size_t a = 0; a < 3; ++a) {
        m.unit[a] = displacement[a] * inverse;
    }
    double speed = std::min(feed, limits_.maxVelocity);
    m.accel = limits_.maxAccel;
    if (displacement[2] != 0) {
        const double zRatio = m.length / std::abs(displacement[2]);
        speed = std::min(speed, limits_.maxZVelocity * zRatio);
        m.accel = std::min(m.accel, limits_.maxZAccel * zRatio);
    }
    m.feedSeconds = m.length / speed;
    m.cruise2 = speed * speed;
    m.change2 = 2 * m.length * m.accel;
    m.cruiseChange2 = std::min(2 * m.length * cruiseAccel_, m.change2);
    m.corner = deviation_ * m.accel;
    return m;
}

bool KlipperPlanner::move(const Direction& displacement, double feed) {
    std::optional<Queued> m = queued(displacement, feed);
    if (!m) {
        return false;
    }
    if (queue_.empty()) { // entered from rest; it counts toward no plan
        queue_.push_back(*m);
        return true;
    }
    join(*m);
    queue_.push_back(*m);
    budget_ -= m->feedSeconds;
    if (budget_ <= 0) {
        plan(false);
    }
    return true;
}

/// The highest entry speed into `m` from the last queued move: the slower feed, what the move
/// before can reach, and at a corner the deviation rule and the circle that meets both moves
/// no further than their middles. Straight on it is unlimited by the corner, reversed 0.
void KlipperPlanner::join(Queued& m) const {
    const Queued& prev = queue_.back();
    double limit = std::min({m.cruise2, prev.cruise2, prev.maxEntry2 + prev.change2});
    const double cosine = -dot(m.unit, prev.unit);
    const double halfSine = std::sqrt(std::max(0.5 * (1 - cosine), 0.0));
    const double halfCosine = std::sqrt(std::max(0.5 * (1 + cosine), 0.0));
    if (1 - halfSine > 0 && halfCosine > 0) {
        const double ratio = halfSine / (1 - halfSine);
        const double quarterTangent = 0.25 * halfSine / halfCosine;
        limit = std::min({limit, ratio * m.corner, ratio * prev.corner, m.change2 * quarterTangent,
                          prev.change2 * quarterTangent});
    }
    m.maxEntry2 = limit;
    m.maxCruiseEntry2 = std::min(limit, prev.maxCruiseEntry2 + prev.cruiseChange2);
}

/// Plans the queue backwards from a stop after its last move. A move that can speed up (its
/// entry bound by its junction, not by what follows) ends a stretch whose peak is the highest
/// speed reached at the cruise ratio's acceleration; moves that cannot keep the cruise of the
/// move before them. Unless `all`, only the moves before the last such peak are handed out, as
/// later moves can no longer change them; none while no such point is known.
void KlipperPlanner::plan(bool all) {
    budget_ = lookAheadSeconds;
    std::vector<Junction> found(queue_.size());
    double nextEntry2 = 0;
    double nextCruiseEntry2 = 0;
    double peak2 = 0;
    std::size_t sincePeak = 0; // moves back to the last one that could speed up, this one too
    std::size_t count = queue_.size();
    bool cut = all;
    for (std::size_t i = queue_.size(); i-- > 0;) {
        const Queued& m = queue_[i];
        const double reach2 = nextEntry2 + m.change2;
        const double entry2 = std::min(m.maxEntry2, reach2);
        const double cruiseReach2 = nextCruiseEntry2 + m.cruiseChange2;
        const double cruiseEntry2 = std::min(m.maxCruiseEntry2, cruiseReach2);
        ++sincePeak;
        found[i].entry2 = entry2;
        found[i].exit2 = nextEntry2;
        if (cruiseEntry2 < cruiseReach2) {
            if (cruiseEntry2 + m.cruiseChange2 > nextCruiseEntry2 || sincePeak > 1) {
                if (!cut && peak2 > 0) {
                    count = i + sincePeak;
                    cut = true;
                }
                peak2 = (cruiseEntry2 + cruiseReach2) / 2;
            }
            found[i].cruise2 = std::min({(entry2 + reach2) / 2, m.cruise2, peak2});
            sincePeak = 0;
        }
        nextEntry2 = entry2;
        nextCruiseEntry2 = cruiseEntry2;
    }
    if (!cut || count == 0) {
        return;
    }
    double prevCruise2 = 0;
    for (std::size_t i = 0; i < count; ++i) {
        Junction& j = found[i];
        if (!j.cruise2) {
            j.cruise2 = std::min(prevCruise2, j.entry2);
        }
        handOut(queue_[i], j);
        prevCruise2 = *j.cruise2;
    }
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(count));
}

/// Hands out a planned move: up from its entry to its cruise, cruising, down to its exit.
void KlipperPlanner::handOut(const Queued& m, const Junction& j) {
    const double cruise2 = *j.cruise2;
    const double entry2 = std::min(j.entry2, cruise2);
    const double exit2 = std::min(j.exit2, cruise2);
    const double up = (cruise2 - entry2) / (2 * m.accel);
    const double down = (cruise2 - exit2) / (2 * m.accel);
    PlannedStep step;
    step.speeds = {std::sqrt(cruise2), std::sqrt(entry2), std::sqrt(exit2), m.accel};
    const double cruise = step.speeds.feed;
    step.seconds = up / ((step.speeds.entry + cruise) / 2) + (m.length - up - down) / cruise +
                   down / ((step.speeds.exit + cruise) / 2);
    step.start = clock_;
    clock_ += step.seconds;
    known_.push_back(step);
}

void KlipperPlanner::stopAll() {
    plan(true);
    budget_ = primeSeconds;
}

void KlipperPlanner::dwell(double seconds) {
    stopAll();
    PlannedStep step;
    step.start = clock_;
    step.seconds = seconds > 0 && std::isfinite(seconds) ? seconds : 0;
    clock_ += step.seconds;
    known_.push_back(step);
}

void KlipperPlanner::stop() {
    stopAll();
    PlannedStep step;
    step.start = clock_;
    known_.push_back(step);
}

std::optional<PlannedStep> KlipperPlanner::next() {
    if (known_.empty()) {
        return std::nullopt;
    }
    const PlannedStep step = known_.front();
    known_.pop_front();
    return step;
}

} // namespace chimex
