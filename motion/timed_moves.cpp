// SPDX-License-Identifier: MIT
#include "timed_moves.h"

#include "move_timing.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace chimex {

namespace {

/// Notes played without a stop between them: from `first` up to (not including) `last`.
struct Run {
    std::size_t first = 0;
    std::size_t last = 0;
};

struct RunPlan {
    std::vector<double> lengths;
    std::vector<int> directions;
    std::vector<double> junctions; ///< speed entering each move; the run ends at rest
};

Direction unit(const TimingNote& note, int direction) {
    Direction d{};
    d[static_cast<std::size_t>(note.axis)] = direction;
    return d;
}

double accelOf(const TimingNote& note, const Controller& c) {
    return c.accel[static_cast<std::size_t>(note.axis)];
}

/// Entry speeds the controller reaches: each junction at most its corner and feed limits, slow
/// enough to stop within the moves it can see ahead, and reachable from the move before.
std::vector<double> entrySpeeds(const std::vector<TimingNote>& notes, Run run, const RunPlan& plan,
                                const Controller& c) {
    const std::size_t n = run.last - run.first;
    std::vector<double> limit(n, 0.0);
    for (std::size_t i = 1; i < n && !c.exactStop; ++i) {
        const TimingNote& a = notes[run.first + i - 1];
        const TimingNote& b = notes[run.first + i];
        limit[i] = std::min(
            {a.feed, b.feed,
             cornerSpeed(unit(a, plan.directions[i - 1]), unit(b, plan.directions[i]), c.corner)});
    }
    for (std::size_t i = 1; i < n; ++i) {
        double back = 0; // stopping at the end of the last move in view
        const std::size_t end = std::min(n, i + std::max<std::size_t>(c.lookAhead, 1));
        for (std::size_t k = end; k-- > i;) {
            const double a = accelOf(notes[run.first + k], c);
            back = std::min(limit[k], std::sqrt(back * back + 2 * a * plan.lengths[k]));
            if (k == i) {
                limit[i] = back;
            }
        }
    }
    for (std::size_t i = 1; i < n; ++i) {
        const double a = accelOf(notes[run.first + i - 1], c);
        const double reach = std::sqrt(limit[i - 1] * limit[i - 1] + 2 * a * plan.lengths[i - 1]);
        limit[i] = std::min(limit[i], reach);
    }
    return limit;
}

/// A controller that times moves in periods finishes a move in the period after its exact end.
double quantised(double seconds, const Controller& c) {
    return c.period > 0 ? (std::floor(seconds / c.period) + 1) * c.period : seconds;
}

/// The time to ask of a move so that, timed in periods, it ends on its note's end: half a period
/// short of it, away from the edges where rounding tips either way.
double timeToAsk(double secondsLeft, const Controller& c) {
    return c.period > 0 ? secondsLeft - c.period / 2 : secondsLeft;
}

/// One pass over a run: each length from the time left to its note's end on the score's clock,
/// in whole steps, turning round at the travel's ends. Returns the clock at the run's end.
double placeRun(const std::vector<TimingNote>& notes, Run run, RunPlan& plan, const Controller& c,
                double clock, std::array<double, 3>& position, const std::array<double, 3>& travel,
                std::vector<TimedMove>& moves) {
    const std::vector<double> entries = entrySpeeds(notes, run, plan, c);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const TimingNote& note = notes[run.first + i];
        const auto axis = static_cast<std::size_t>(note.axis);
        const MoveSpeeds speeds{note.feed, entries[i],
                                i + 1 < entries.size() ? entries[i + 1] : 0.0, accelOf(note, c)};
        const TimedLength timed =
            lengthForDuration(timeToAsk(note.start + note.hold - clock, c), speeds);
        plan.directions[i] = note.direction;
        double target = position[axis] + note.direction * timed.length;
        if (target < 0 || target >= travel[axis]) { // strictly inside, as the planner keeps it
            plan.directions[i] = -note.direction;
            target = position[axis] - note.direction * timed.length;
        }
        const double steps = c.stepsPerUnit[axis];
        if (steps > 0) {
            target = static_cast<double>(std::lround(target * steps)) / steps;
        }
        plan.lengths[i] = std::abs(target - position[axis]);
        clock += quantised(moveDuration(plan.lengths[i], speeds), c);
        position[axis] = target;
        TimedMove& move = moves[run.first + i];
        move.target = target;
        move.reachesFeed = timed.reachesFeed;
    }
    return clock;
}

std::vector<Run> runsOf(const std::vector<TimingNote>& notes) {
    std::vector<Run> runs;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const bool rest =
            i > 0 && notes[i].start - (notes[i - 1].start + notes[i - 1].hold) >= 0.0005;
        if (runs.empty() || rest) {
            runs.push_back({i, i});
        }
        runs.back().last = i + 1;
    }
    return runs;
}

} // namespace

std::vector<TimedMove> timeMoves(const std::vector<TimingNote>& notes, const Controller& c,
                                 const std::array<double, 3>& travel) {
    std::vector<TimedMove> moves(notes.size());
    double clock = notes.empty() ? 0 : notes.front().start;
    std::array<double, 3> position{};
    for (const Run run : runsOf(notes)) {
        if (run.first > 0) {
            const double gap = notes[run.first].start - clock - c.stopDelay;
            moves[run.first].dwellBefore = std::max(0.001, std::round(gap * 1000) / 1000);
            clock += moves[run.first].dwellBefore + c.stopDelay;
        }
        RunPlan plan;
        for (std::size_t i = run.first; i < run.last; ++i) {
            plan.lengths.push_back(notes[i].feed * notes[i].hold);
            plan.directions.push_back(notes[i].direction);
        }
        // Junction speeds depend on the lengths and the lengths on the junction speeds.
        double end = clock;
        const std::array<double, 3> start = position;
        for (int pass = 0; pass < 30; ++pass) {
            const std::vector<double> before = plan.lengths;
            position = start;
            end = placeRun(notes, run, plan, c, clock, position, travel, moves);
            if (before == plan.lengths) {
                break;
            }
        }
        clock = end;
    }
    return moves;
}

} // namespace chimex
