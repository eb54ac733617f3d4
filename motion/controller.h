// SPDX-License-Identifier: MIT
#pragma once

#include "junction.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <functional>

namespace chimex {

/// Klipper's planner rules, in place of the corner rule and look-ahead when its square corner
/// velocity is above 0: junctions from it and the acceleration, look-ahead by time, every dwell
/// a full stop, peaks held by the minimum cruise ratio. Klipper plans in lengths, not steps.
struct KlipperRule {
    double squareCornerVelocity = 0; ///< length/s; 0: not Klipper
    double minimumCruiseRatio = 0;
};

/// How the controller moves: per-axis accelerations and whole steps per length unit (0: exact
/// lengths), its corner rule, whether every move starts and ends at rest (LinuxCNC's exact-path
/// mode), the time a stop at a rest costs before the next move (GRBL's `$1`), its look-ahead in
/// moves, the period its moves are timed in (0: continuous), the decimals the positions it is
/// given are written with (-1: exact), the feed a move at a speed is written with, as the
/// controller reads it back (none: exactly that speed), and the cycle its task wakes in to time a
/// dwell (LinuxCNC's; 0: not known, dwells taken as exact to the period). `grblSteps`: it steps
/// as GRBL 1.1 does (its segments, whole steps, dwells in 50 ms steps).
struct Controller {
    std::array<double, 3> accel{};
    std::array<double, 3> stepsPerUnit{};
    CornerRule corner{};
    bool exactStop = false;
    double stopDelay = 0;
    std::size_t lookAhead = 15;
    double period = 0;
    int positionDecimals = -1;
    std::function<double(double)> feedAsWritten;
    double taskCycle = 0;
    KlipperRule klipper{};
    bool grblSteps = false;
};

inline bool plansAsKlipper(const Controller& c) {
    return c.klipper.squareCornerVelocity > 0;
}

/// How long a move of `seconds` lasts on `c`: one that times moves in periods finishes a move in
/// the period after its exact end.
inline double quantised(double seconds, const Controller& c) {
    return c.period > 0 ? (std::floor(seconds / c.period) + 1) * c.period : seconds;
}

} // namespace chimex
