// SPDX-License-Identifier: MIT
#pragma once

#include "junction.h"

#include <array>
#include <cstddef>
#include <vector>

namespace chimex {

/// One note as a score has it: the axis (0 X, 1 Y, 2 Z) and direction (+1 or -1) it is played on,
/// its feed in length/s, and when it starts and how long it lasts on the score's clock (seconds).
struct TimingNote {
    int axis = 0;
    int direction = 1;
    double feed = 0;
    double start = 0;
    double hold = 0;
};

/// How the controller moves: per-axis accelerations and whole steps per length unit (0: exact
/// lengths), its corner rule, whether every move starts and ends at rest (LinuxCNC's exact-path
/// mode), the time a stop at a rest costs before the next move (GRBL's `$1`), its look-ahead in
/// moves, and the period its moves are timed in (0: continuous).
struct Controller {
    std::array<double, 3> accel{};
    std::array<double, 3> stepsPerUnit{};
    CornerRule corner{};
    bool exactStop = false;
    double stopDelay = 0;
    std::size_t lookAhead = 15;
    double period = 0;
};

/// A note as the machine plays it: the coordinate its move ends at, the dwell before it (0: none),
/// and whether it reaches its feed.
struct TimedMove {
    double target = 0;
    double dwellBefore = 0;
    bool reachesFeed = true;
};

/// Chooses each note's move length (and the dwells at the score's rests, in whole milliseconds) so
/// that every note starts on the score's clock, measured from the first note's start, with the
/// machine's ramps. Moves start from 0, 0, 0; a move that would reach `travel` or
/// go below 0 turns round.
std::vector<TimedMove> timeMoves(const std::vector<TimingNote>& notes, const Controller& controller,
                                 const std::array<double, 3>& travel);

} // namespace chimex
