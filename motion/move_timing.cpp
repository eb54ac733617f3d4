// SPDX-License-Identifier: MIT
#include "move_timing.h"

#include <algorithm>
#include <cmath>

namespace chimex {

namespace {

/// Length of the ramp from speed `from` to speed `to` at acceleration `accel`.
double rampLength(double from, double to, double accel) {
    return std::abs(to * to - from * from) / (2 * accel);
}

double rampsLength(const MoveSpeeds& s) {
    return rampLength(s.entry, s.feed, s.accel) + rampLength(s.exit, s.feed, s.accel);
}

/// Peak speed of a move too short to reach its feed.
double peakSpeed(double length, const MoveSpeeds& s) {
    return std::sqrt(s.accel * length + (s.entry * s.entry + s.exit * s.exit) / 2);
}

} // namespace

double moveDuration(double length, const MoveSpeeds& s) {
    if (length >= rampsLength(s)) {
        const double v = s.feed;
        return length / v +
               ((v - s.entry) * (v - s.entry) + (v - s.exit) * (v - s.exit)) / (2 * s.accel * v);
    }
    return (2 * peakSpeed(length, s) - s.entry - s.exit) / s.accel;
}

TimedLength lengthForDuration(double duration, const MoveSpeeds& s) {
    const double v = s.feed;
    const double ramps =
        ((v - s.entry) * (v - s.entry) + (v - s.exit) * (v - s.exit)) / (2 * s.accel * v);
    const double cruising = v * (duration - ramps);
    if (cruising >= rampsLength(s)) {
        return {cruising, true};
    }
    // Triangle: the peak speed that makes (2 vp - v0 - v1) / a last the duration, never below the
    // faster of entry and exit, since a move cannot change speed faster than its acceleration.
    const double peak = std::max({(s.accel * duration + s.entry + s.exit) / 2, s.entry, s.exit});
    const double length = (peak * peak - (s.entry * s.entry + s.exit * s.exit) / 2) / s.accel;
    return {std::max(length, 0.0), false};
}

double timeAtFeed(double length, const MoveSpeeds& s) {
    return std::max(0.0, (length - rampsLength(s)) / s.feed);
}

double rampedSpeed(double elapsed, double duration, const MoveSpeeds& s) {
    const double ramp =
        std::min(s.entry + s.accel * elapsed, s.exit + s.accel * (duration - elapsed));
    return std::clamp(ramp, 0.0, s.feed);
}

} // namespace chimex
