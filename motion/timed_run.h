// SPDX-License-Identifier: MIT
#pragma once

#include "planner.h"
#include "timed_segments.h"

#include <cstddef>
#include <limits>
#include <vector>

namespace chimex {

/// Dwells are whole milliseconds: a time within half of one of the score's is kept.
inline constexpr double halfMillisecond = 0.0005;

/// A deadline that never comes.
inline constexpr double never = std::numeric_limits<double>::infinity();

/// A segment that moves, along a unit direction at its feed, with the acceleration its path
/// allows: each axis's own over its share of the direction.
struct PathMove {
    std::size_t index = 0;
    Direction unit{};
    double feed = 0;
    double accel = 0;
    double start = 0;
    double hold = 0;
    Silence silence = Silence::None;
};

/// Sounding moves played without a stop between them (indices into the moves), and the latest
/// time the last may end so that the dwell after it keeps the score's time.
struct Run {
    std::vector<std::size_t> members;
    double deadline = never;
};

/// A move as placed: where it ends, the move the controller plans for it, when it starts and how
/// long it lasts.
struct Placed {
    Direction target{};
    PlannerMove planned;
    double startsAt = 0;
    double seconds = 0;
    double slack = 0; ///< how far whole steps let it end off its time
    bool reachesFeed = true;
    bool fits = true;
    bool overruns = false; ///< it ends later than whole steps allow: too short for its ramps
};

struct PlacedRun {
    std::vector<Placed> moves;
    double end = 0;
};

/// Places the run's moves from `clock` and `position`: each lasts to its segment's end on the
/// score's clock as near as whole steps allow, the last ends by the run's deadline when it can,
/// and the times are those the controller's planner gives the moves placed.
PlacedRun timeRun(const std::vector<PathMove>& moves, const Run& run, const Controller& c,
                  double clock, const Direction& position, const std::array<double, 3>& travel);

} // namespace chimex
