// SPDX-License-Identifier: MIT
#pragma once

#include "controller.h"
#include "timed_segments.h"

#include <array>
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

/// A note as the machine plays it: the coordinate its move ends at, the dwell before it (0: none),
/// whether it reaches its feed, and as for a TimedSegment, whether it is silent, finds no room, is
/// followed by the dwell that ends the tune, or starts off the score's time. `feed`: the feed to
/// write (0: the note's own); `stopBefore`: a stop without a dwell comes before it.
struct TimedMove {
    double target = 0;
    double dwellBefore = 0;
    bool reachesFeed = true;
    Silence silence = Silence::None;
    bool noRoom = false;
    double dwellAfter = 0;
    double startsOff = 0;
    double feed = 0;
    bool stopBefore = false;
    int axis = -1; ///< the axis moved, when not its note's (one where it plays alike)
};

/// Times single-axis notes as `timeSegments` times segments: each note is one segment along its
/// axis, and the result is the same.
std::vector<TimedMove> timeMoves(const std::vector<TimingNote>& notes, const Controller& controller,
                                 const std::array<double, 3>& travel);

} // namespace chimex
