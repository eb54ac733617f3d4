// SPDX-License-Identifier: MIT
#include "timed_segments.h"

#include "move_timing.h"
#include "planner.h"

#include <algorithm>
#include <cmath>

namespace chimex {

namespace {

/// Beyond any machine or score, and small enough that squares and products stay finite.
constexpr double mostSpeed = 1e9;
constexpr double mostSeconds = 1e9;

/// A segment that moves, along a unit direction at its feed, with the acceleration its path
/// allows: each axis's own over its share of the direction.
struct PathMove {
    std::size_t index = 0;
    Direction unit{};
    double feed = 0;
    double accel = 0;
    double start = 0;
    double hold = 0;
};

/// Segments played without a stop between them: moves from `first` up to (not including) `last`.
struct Run {
    std::size_t first = 0;
    std::size_t last = 0;
};

struct RunPlan {
    std::vector<double> lengths;
    std::vector<Direction> units; ///< as played: turned round at the travel's ends
};

/// A time on the score's clock, finite and within reach of any sum of them.
double scoreTime(double seconds, double lowest) {
    return std::clamp(std::isfinite(seconds) ? seconds : 0, lowest, mostSeconds);
}

/// The moving segments, in order; a velocity that is not finite counts as still.
std::vector<PathMove> pathMoves(const std::vector<TimingSegment>& segments, const Controller& c) {
    std::vector<PathMove> moves;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const TimingSegment& s = segments[i];
        const double feed = lengthOf(s.velocity);
        if (!(feed > 0) || !std::isfinite(feed)) {
            continue;
        }
        PathMove m;
        m.index = i;
        m.feed = std::min(feed, mostSpeed);
        for (std::size_t a = 0; a < 3; ++a) {
            m.unit[a] = s.velocity[a] / feed;
        }
        m.accel = accelAlong(m.unit, c);
        m.start = scoreTime(s.start, -mostSeconds);
        m.hold = scoreTime(s.hold, 0);
        moves.push_back(m);
    }
    return moves;
}

/// Entry speeds of the run's moves as placed so far.
std::vector<double> runEntrySpeeds(const std::vector<PathMove>& moves, Run run, const RunPlan& plan,
                                   const Controller& c) {
    std::vector<PlannerMove> planned;
    for (std::size_t i = 0; i < run.last - run.first; ++i) {
        planned.push_back({plan.units[i], moves[run.first + i].feed, moves[run.first + i].accel,
                           plan.lengths[i]});
    }
    return entrySpeeds(planned, c);
}

/// A controller that times moves in periods finishes a move in the period after its exact end.
double quantised(double seconds, const Controller& c) {
    return c.period > 0 ? (std::floor(seconds / c.period) + 1) * c.period : seconds;
}

/// The time to ask of a move so that, timed in periods, it ends on its segment's end: half a
/// period short of it, away from the edges where rounding tips either way.
double timeToAsk(double secondsLeft, const Controller& c) {
    return c.period > 0 ? secondsLeft - c.period / 2 : secondsLeft;
}

/// The end of a move of `length` along `unit` from `position`: an axis that would leave the travel
/// turns round (`unit` is changed to match), and each axis lands on a whole step.
Direction placeMove(const Direction& position, double length, Direction& unit,
                    const std::array<double, 3>& travel, const Controller& c) {
    Direction target = position;
    for (std::size_t a = 0; a < 3; ++a) {
        if (unit[a] == 0) {
            continue;
        }
        target[a] = position[a] + unit[a] * length;
        if (target[a] < 0 || target[a] >= travel[a]) { // strictly inside, as the planner keeps it
            unit[a] = -unit[a];
            target[a] = position[a] + unit[a] * length;
        }
        const double steps = c.stepsPerUnit[a];
        if (steps > 0) {
            target[a] = std::round(target[a] * steps) / steps;
        }
    }
    return target;
}

/// One pass over a run: each length from the time left to its segment's end on the score's
/// clock, in whole steps, turning round at the travel's ends. Returns the clock at the run's end.
double placeRun(const std::vector<PathMove>& moves, Run run, RunPlan& plan, const Controller& c,
                double clock, Direction& position, const std::array<double, 3>& travel,
                std::vector<TimedSegment>& timed) {
    const std::vector<double> entries = runEntrySpeeds(moves, run, plan, c);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const PathMove& m = moves[run.first + i];
        const MoveSpeeds speeds{m.feed, entries[i], i + 1 < entries.size() ? entries[i + 1] : 0.0,
                                m.accel};
        const TimedLength asked = lengthForDuration(timeToAsk(m.start + m.hold - clock, c), speeds);
        plan.units[i] = m.unit;
        const Direction target = placeMove(position, asked.length, plan.units[i], travel, c);
        Direction step{};
        for (std::size_t a = 0; a < 3; ++a) {
            step[a] = target[a] - position[a];
        }
        plan.lengths[i] = lengthOf(step);
        clock += quantised(moveDuration(plan.lengths[i], speeds), c);
        position = target;
        TimedSegment& segment = timed[m.index];
        segment.target = target;
        segment.reachesFeed = asked.reachesFeed;
    }
    return clock;
}

std::vector<Run> runsOf(const std::vector<PathMove>& moves) {
    std::vector<Run> runs;
    for (std::size_t i = 0; i < moves.size(); ++i) {
        const bool rest =
            i > 0 && moves[i].start - (moves[i - 1].start + moves[i - 1].hold) >= 0.0005;
        if (runs.empty() || rest) {
            runs.push_back({i, i});
        }
        runs.back().last = i + 1;
    }
    return runs;
}

/// Times one run from `clock` and `position`, iterating, since junction speeds depend on the
/// lengths and the lengths on the junction speeds. Returns the clock at the run's end.
double timeRun(const std::vector<PathMove>& moves, Run run, const Controller& c, double clock,
               Direction& position, const std::array<double, 3>& travel,
               std::vector<TimedSegment>& timed) {
    RunPlan plan;
    for (std::size_t i = run.first; i < run.last; ++i) {
        plan.lengths.push_back(moves[i].feed * moves[i].hold);
        plan.units.push_back(moves[i].unit);
    }
    double end = clock;
    const Direction start = position;
    for (int pass = 0; pass < 30; ++pass) {
        const std::vector<double> before = plan.lengths;
        position = start;
        end = placeRun(moves, run, plan, c, clock, position, travel, timed);
        if (before == plan.lengths) {
            break;
        }
    }
    return end;
}

} // namespace

std::vector<TimedSegment> timeSegments(const std::vector<TimingSegment>& segments,
                                       const Controller& c, const std::array<double, 3>& travel) {
    std::vector<TimedSegment> timed(segments.size());
    const std::vector<PathMove> moves = pathMoves(segments, c);
    double clock = segments.empty() ? 0 : scoreTime(segments.front().start, -mostSeconds);
    Direction position{};
    for (const Run run : runsOf(moves)) {
        const double gap = moves[run.first].start - clock;
        if (run.first > 0 || gap >= 0.0005) {
            TimedSegment& first = timed[moves[run.first].index];
            first.dwellBefore = std::max(0.001, std::round((gap - c.stopDelay) * 1000) / 1000);
            clock += first.dwellBefore + c.stopDelay;
        }
        clock = timeRun(moves, run, c, clock, position, travel, timed);
    }
    // A still segment stands where the move before it ended.
    std::vector<bool> moving(segments.size(), false);
    for (const PathMove& m : moves) {
        moving[m.index] = true;
    }
    for (std::size_t i = 1; i < segments.size(); ++i) {
        if (!moving[i]) {
            timed[i].target = timed[i - 1].target;
        }
    }
    return timed;
}

} // namespace chimex
