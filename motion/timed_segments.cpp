// SPDX-License-Identifier: MIT
#include "timed_segments.h"

#include "timed_run.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace chimex {

namespace {

/// Beyond any machine or score, and small enough that squares and products stay finite.
constexpr double mostSpeed = 1e9;
constexpr double mostSeconds = 1e9;

/// A time on the score's clock, finite and within reach of any sum of them.
double scoreTime(double seconds, double lowest) {
    return std::clamp(std::isfinite(seconds) ? seconds : 0, lowest, mostSeconds);
}

double wholeMilliseconds(double seconds) {
    return std::round(seconds * 1000) / 1000;
}

/// Whether an axis of the move covers half a step or more at its feed for its whole time; a
/// move that does not could move no whole step at any acceleration.
bool reachesAStep(const PathMove& m, const Controller& c) {
    for (std::size_t a = 0; a < 3; ++a) {
        const double steps = c.stepsPerUnit[a];
        if (m.unit[a] != 0 &&
            (!(steps > 0) || std::abs(m.unit[a]) * m.feed * m.hold * steps >= 0.5)) {
            return true;
        }
    }
    return false;
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
        m.silence = reachesAStep(m, c) ? Silence::None : Silence::TooShort;
        moves.push_back(m);
    }
    return moves;
}

std::size_t nextSounding(const std::vector<PathMove>& moves, std::size_t from, std::size_t count) {
    while (from < count && moves[from].silence != Silence::None) {
        ++from;
    }
    return from;
}

/// The sounding moves from `first` on that follow each other without a rest.
Run runFrom(const std::vector<PathMove>& moves, std::size_t first, std::size_t count) {
    Run run;
    run.members.push_back(first);
    for (std::size_t i = nextSounding(moves, first + 1, count); i < count;
         i = nextSounding(moves, i + 1, count)) {
        const PathMove& before = moves[run.members.back()];
        if (moves[i].start - (before.start + before.hold) >= halfMillisecond) {
            break;
        }
        run.members.push_back(i);
    }
    return run;
}

/// Where the timing stands between runs.
struct Timeline {
    double clock = 0;
    Direction position{};
    bool moved = false; ///< the machine comes to the next dwell moving, and stops first
};

/// Marks the run's moves that moved no whole step as silent, or the first that fits the travel
/// neither way as the end of playing (`count`); false when the run stands as placed. Else the
/// first move that ends later than whole steps allow is silent, or, when the run cannot be played
/// by its deadline, its last.
bool markUnplayable(std::vector<PathMove>& moves, const Run& run, const PlacedRun& placed,
                    std::size_t& count) {
    bool marked = false;
    for (std::size_t k = 0; k < run.members.size(); ++k) {
        PathMove& m = moves[run.members[k]];
        if (!placed.moves[k].fits) {
            count = run.members[k];
            return true;
        }
        if (placed.moves[k].planned.length == 0) {
            m.silence = Silence::TooShortForRamps;
            marked = true;
        }
    }
    const auto overrun = std::find_if(placed.moves.begin(), placed.moves.end(),
                                      [](const Placed& p) { return p.overruns; });
    if (!marked && overrun != placed.moves.end()) {
        moves[run.members[static_cast<std::size_t>(overrun - placed.moves.begin())]].silence =
            Silence::TooShortForRamps;
        marked = true;
    }
    if (!marked && placed.end > run.deadline + 1e-9) {
        moves[run.members.back()].silence = Silence::TooShortForRamps;
        marked = true;
    }
    return marked;
}

/// The dwell before a run that starts at `start` on the score's clock, in whole milliseconds (0:
/// none, for a first run on time); a machine that comes to it moving stops first.
double dwellTo(double start, const Timeline& line, const Controller& c) {
    const double gap = start - line.clock;
    if (!line.moved && gap < halfMillisecond) {
        return 0;
    }
    return std::max(0.001, wholeMilliseconds(gap - (line.moved ? c.stopDelay : 0)));
}

/// The run as placed, with the moves that start off the score's time by more than whole steps
/// allow.
void keepRun(const std::vector<PathMove>& moves, const Run& run, const PlacedRun& placed,
             double dwell, std::vector<TimedSegment>& timed) {
    timed[moves[run.members.front()].index].dwellBefore = dwell;
    for (std::size_t k = 0; k < run.members.size(); ++k) {
        const Placed& p = placed.moves[k];
        TimedSegment& segment = timed[moves[run.members[k]].index];
        segment.target = p.target;
        segment.reachesFeed = p.reachesFeed;
        const double off = p.startsAt - moves[run.members[k]].start;
        const double allowed = halfMillisecond + (k > 0 ? placed.moves[k - 1].slack : 0);
        segment.startsOff = std::abs(off) > allowed + 1e-9 ? off : 0;
    }
}

/// The segments before `played` (the one without room, if any): which are silent, and where a
/// still or silent one stands, where the move before it ended.
void markPlayed(const std::vector<PathMove>& moves, std::size_t played,
                std::vector<TimedSegment>& timed) {
    std::vector<bool> sounding(timed.size(), false);
    for (const PathMove& m : moves) {
        if (m.index < played) {
            timed[m.index].silence = m.silence;
            sounding[m.index] = m.silence == Silence::None;
        }
    }
    if (played < timed.size()) {
        timed[played].noRoom = true;
    }
    for (std::size_t i = 1; i < played; ++i) {
        if (!sounding[i]) {
            timed[i].target = timed[i - 1].target;
        }
    }
}

} // namespace

double feedAlong(const std::array<double, 3>& shift, const std::array<double, 3>& velocity) {
    const auto moving = std::count_if(shift.begin(), shift.end(), [](double d) { return d != 0; });
    double length = 0;
    for (const double d : shift) {
        length += d * d;
    }
    length = std::sqrt(length);
    double feed = HUGE_VAL;
    for (std::size_t a = 0; a < 3; ++a) {
        if (shift[a] != 0 && velocity[a] != 0) {
            feed =
                std::min(feed, moving == 1 ? std::abs(velocity[a])
                                           : std::abs(velocity[a]) * length / std::abs(shift[a]));
        }
    }
    return feed;
}

std::vector<TimedSegment> timeSegments(const std::vector<TimingSegment>& segments,
                                       const Controller& c, const std::array<double, 3>& travel) {
    std::vector<TimedSegment> timed(segments.size());
    if (segments.empty()) {
        return timed;
    }
    std::vector<PathMove> moves = pathMoves(segments, c);
    std::size_t count = moves.size(); // the moves played: those before one without room
    Timeline line{scoreTime(segments.front().start, -mostSeconds), {}, false};
    const auto endOfTune = [&] {
        return count < moves.size() ? moves[count].start
                                    : scoreTime(segments.back().start, -mostSeconds) +
                                          scoreTime(segments.back().hold, 0);
    };
    for (std::size_t i = nextSounding(moves, 0, count); i < count;
         i = nextSounding(moves, i, count)) {
        Run run = runFrom(moves, i, count);
        const std::size_t after = nextSounding(moves, run.members.back() + 1, count);
        run.deadline = after < count ? moves[after].start - c.stopDelay - halfMillisecond : never;
        const double dwell = dwellTo(moves[i].start, line, c);
        const double start = line.clock + dwell + (dwell > 0 && line.moved ? c.stopDelay : 0);
        PlacedRun placed = timeRun(moves, run, c, start, line.position, travel);
        if (after >= count && std::abs(placed.end - endOfTune()) > halfMillisecond) {
            run.deadline = endOfTune() - c.stopDelay - halfMillisecond; // then a closing dwell
            placed = timeRun(moves, run, c, start, line.position, travel);
        }
        if (markUnplayable(moves, run, placed, count)) {
            continue; // timed again without them
        }
        keepRun(moves, run, placed, dwell, timed);
        line = {placed.end, placed.moves.back().target, true};
        i = run.members.back() + 1;
    }
    const std::size_t played = count < moves.size() ? moves[count].index : segments.size();
    markPlayed(moves, played, timed);
    const double left = endOfTune() - line.clock;
    if (played > 0 && left >= halfMillisecond) {
        timed[played - 1].dwellAfter =
            std::max(0.001, wholeMilliseconds(left - (line.moved ? c.stopDelay : 0)));
    }
    return timed;
}

} // namespace chimex
