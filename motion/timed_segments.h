// SPDX-License-Identifier: MIT
#pragma once

#include "controller.h"

#include <array>
#include <vector>

namespace chimex {

/// One straight move as a score has it: the signed speed of X, Y and Z in length/s (all 0: the
/// machine stands still, a rest), and when it starts and how long it lasts on the score's clock
/// (seconds). Its feed is the length of the velocity.
struct TimingSegment {
    std::array<double, 3> velocity{};
    double start = 0;
    double hold = 0;
};

/// A segment as the machine plays it: the point its move ends at (for a still segment, where the
/// machine stands), the dwell before it (0: none) and whether it reaches its feed.
struct TimedSegment {
    std::array<double, 3> target{};
    double dwellBefore = 0;
    bool reachesFeed = true;
};

/// Chooses each segment's move length along its velocity, and the dwells at the score's rests in
/// whole milliseconds, so that every segment starts on the score's clock (measured from the first
/// segment's start) with the machine's ramps, corners and whole steps. Moves start from 0, 0, 0; an
/// axis whose move would reach `travel` or go below 0 turns round (a target can still leave the
/// travel when the move is too long either way: the caller refuses it). A still segment has no
/// move: the dwell before the next move covers it.
std::vector<TimedSegment> timeSegments(const std::vector<TimingSegment>& segments,
                                       const Controller& controller,
                                       const std::array<double, 3>& travel);

} // namespace chimex
