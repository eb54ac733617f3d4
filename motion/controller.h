// SPDX-License-Identifier: MIT
#pragma once

#include "junction.h"

#include <array>
#include <cstddef>

namespace chimex {

/// How the controller moves: per-axis accelerations and whole steps per length unit (0: exact
/// lengths), its corner rule, whether every move starts and ends at rest (LinuxCNC's exact-path
/// mode), the time a stop at a rest costs before the next move (GRBL's `$1`), its look-ahead in
/// moves, the period its moves are timed in (0: continuous), and the cycle its task wakes in to
/// time a dwell (LinuxCNC's; 0: not known, dwells taken as exact to the period).
struct Controller {
    std::array<double, 3> accel{};
    std::array<double, 3> stepsPerUnit{};
    CornerRule corner{};
    bool exactStop = false;
    double stopDelay = 0;
    std::size_t lookAhead = 15;
    double period = 0;
    double taskCycle = 0;
};

} // namespace chimex
