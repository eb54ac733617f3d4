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

/// Why a moving segment is written as no move: it moves no whole step in its time even at its
/// feed throughout, or its ramps at the controller's accelerations leave it none.
enum class Silence { None, TooShort, TooShortForRamps };

/// A segment as the machine plays it: the point its move ends at (for a still or silent segment,
/// where the machine stands), the dwell before it (0: none) and whether it reaches its feed. A
/// silent segment has no move: its time is in the dwell that follows it. `noRoom`: its move fits
/// the travel neither way, and playing ends before it. `dwellAfter`: the dwell that ends the tune
/// on the score's time, on the last segment played. `startsOff`: seconds its move starts after
/// (or, negative, before) the score has it, where that is more than half a millisecond and half
/// a step of the move before it (0: on time).
struct TimedSegment {
    std::array<double, 3> target{};
    double dwellBefore = 0;
    bool reachesFeed = true;
    Silence silence = Silence::None;
    bool noRoom = false;
    double dwellAfter = 0;
    double startsOff = 0;
};

/// Chooses each segment's move length along its velocity, and the dwells at the score's rests in
/// whole milliseconds, so that every segment starts on the score's clock (measured from the first
/// segment's start) with the machine's ramps, corners and whole steps, as near as whole steps
/// allow, and every rest and the tune's end on it to the millisecond: the move before a dwell
/// ends early enough for the dwell, and a last move that ends off the score's end is followed by
/// one. Moves start from 0, 0, 0; an axis whose move would not end strictly inside 0 to `travel`
/// turns round. A segment too short to move a whole step is silent. A still segment has no move:
/// the dwell before the next move covers it.
std::vector<TimedSegment> timeSegments(const std::vector<TimingSegment>& segments,
                                       const Controller& controller,
                                       const std::array<double, 3>& travel);

/// The feed of a straight move by `shift` whose every axis runs at most at its speed in
/// `velocity`: the axis furthest ahead of its speed runs at it (a single axis: its own speed).
double feedAlong(const std::array<double, 3>& shift, const std::array<double, 3>& velocity);

} // namespace chimex
