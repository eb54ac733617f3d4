// SPDX-License-Identifier: MIT
#include "timed_run.h"

#include "move_timing.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace chimex {
namespace {

enum class Rounding { Nearest, TowardStart };

/// The time to ask of a move so that, timed in periods, it ends on its segment's end: half a
/// period short of it, away from the edges where rounding tips either way.
double timeToAsk(double secondsLeft, const Controller& c) {
    return c.period > 0 ? secondsLeft - c.period / 2 : secondsLeft;
}

/// `shift` from `position` on the axis's whole steps (the nearest, or the last before it), as it
/// is written.
double onStep(double position, double shift, double steps, Rounding rounding, const Controller& c) {
    double end = position + shift;
    if (steps > 0 && rounding == Rounding::Nearest) {
        end = std::round(end * steps) / steps;
    } else if (steps > 0) {
        end = (std::round(position * steps) + std::trunc(shift * steps)) / steps;
    }
    if (c.positionDecimals >= 0) {
        const double scale = std::pow(10.0, c.positionDecimals);
        end = std::round(end * scale) / scale;
    }
    return end;
}

/// The end of a move of `length` along `unit` from `position`: each axis lands on a whole step,
/// and one that would not end strictly inside the travel turns round (`unit` is changed to
/// match). Nothing when an axis fits neither way.
std::optional<Direction> placeMove(const Direction& position, double length, Direction& unit,
                                   const std::array<double, 3>& travel, const Controller& c,
                                   Rounding rounding) {
    Direction target = position;
    for (std::size_t a = 0; a < 3; ++a) {
        if (unit[a] == 0) {
            continue;
        }
        bool placed = false;
        for (const double turn : {1.0, -1.0}) {
            const double end =
                onStep(position[a], turn * unit[a] * length, c.stepsPerUnit[a], rounding, c);
            if (end == position[a] || (end > 0 && end < travel[a])) {
                target[a] = end;
                unit[a] *= turn;
                placed = true;
                break;
            }
        }
        if (!placed) {
            return std::nullopt;
        }
    }
    return target;
}

/// The speeds of the move entered and left at `entry` and `exit`, neither above its feed.
MoveSpeeds speedsOf(const PlannerMove& m, double entry, double exit) {
    return {m.feed, std::min(entry, m.feed), std::min(exit, m.feed), m.accel};
}

/// How long the controller takes for the move entered and left at these speeds.
double secondsOf(const PlannerMove& m, double entry, double exit, const Controller& c) {
    if (!(m.length > 0)) {
        return 0;
    }
    return quantised(moveDuration(m.length, speedsOf(m, entry, exit)), c);
}

/// What a move is asked: to end at `until` on the score's clock, or to keep a length.
struct Ask {
    double until = 0;
    Rounding rounding = Rounding::Nearest;
    std::optional<double> length;
};

/// The move `m` from `position`, entered and left at these speeds, as asked.
Placed placeOne(const PathMove& m, const PlannerMove& planned, double entry, double exit,
                double clock, const Ask& ask, const Direction& position,
                const std::array<double, 3>& travel, const Controller& c) {
    const MoveSpeeds speeds = speedsOf(planned, entry, exit);
    const TimedLength asked = ask.length
                                  ? TimedLength{*ask.length, timeAtFeed(*ask.length, speeds) > 0}
                                  : lengthForDuration(timeToAsk(ask.until - clock, c), speeds);
    Placed p;
    Direction unit = m.unit;
    const std::optional<Direction> target =
        placeMove(position, asked.length, unit, travel, c, ask.rounding);
    p.planned = {unit, m.feed, m.accel, 0};
    p.target = target.value_or(position);
    p.fits = target.has_value();
    p.reachesFeed = asked.reachesFeed;
    Direction shift{}, velocity{};
    for (std::size_t a = 0; a < 3; ++a) {
        shift[a] = p.target[a] - position[a];
        velocity[a] = unit[a] * m.feed;
    }
    const double length = lengthOf(shift);
    if (!(length > 0)) {
        return p; // no whole step: silent
    }
    for (std::size_t a = 0; a < 3; ++a) {
        p.planned.unit[a] = shift[a] / length;
    }
    p.planned.feed = feedAlong(shift, velocity);
    if (c.feedAsWritten) {
        p.planned.feed = c.feedAsWritten(p.planned.feed);
    }
    p.planned.accel = accelAlong(p.planned.unit, c);
    p.planned.length = length;
    p.seconds = secondsOf(p.planned, entry, exit, c);
    return p;
}

/// How far a move can end off the time asked of it once it ends on a whole step: the time of half
/// a step (or of the written grid) of its coarsest axis at its speeds, and a period of a
/// controller that times in them.
double slackOf(const PlannerMove& m, const MoveSpeeds& speeds, const Controller& c) {
    double halfStep = 0;
    for (std::size_t a = 0; a < 3; ++a) {
        const double share = std::abs(m.unit[a]);
        if (share > 0 && c.stepsPerUnit[a] > 0) {
            halfStep = std::max(halfStep, 0.5 / c.stepsPerUnit[a] / share);
        }
        if (share > 0 && c.positionDecimals >= 0) {
            halfStep = std::max(halfStep, 0.5 * std::pow(10.0, -c.positionDecimals) / share);
        }
    }
    return moveDuration(m.length + halfStep, speeds) - moveDuration(m.length, speeds) + c.period;
}

/// The run's times as the controller's planner makes them of the moves placed, with junction
/// speeds from their very lengths.
void timePlaced(PlacedRun& placed, const std::vector<PathMove>& moves, const Run& run,
                const Controller& c, double clock) {
    std::vector<PlannerMove> planned;
    for (const Placed& p : placed.moves) {
        planned.push_back(p.planned);
    }
    const std::vector<double> entries = entrySpeeds(planned, c);
    placed.end = clock;
    for (std::size_t k = 0; k < planned.size(); ++k) {
        Placed& p = placed.moves[k];
        const PathMove& m = moves[run.members[k]];
        const double exit = k + 1 < planned.size() ? entries[k + 1] : 0;
        p.seconds = secondsOf(p.planned, entries[k], exit, c);
        p.slack = slackOf(p.planned, speedsOf(p.planned, entries[k], exit), c);
        p.startsAt = placed.end;
        p.overruns = placed.end + p.seconds > m.start + m.hold + p.slack + halfMillisecond + 1e-9;
        placed.end += p.seconds;
    }
}

/// Times one run from a clock and a position. Junction speeds depend on the lengths and the
/// lengths on the junction speeds, so the moves are placed again and again, a stretch at a time:
/// each pass from a little before the first move whose length changed (a junction speed depends
/// on the moves in the controller's look-ahead), until none does; a move whose length keeps
/// coming back keeps the last.
class RunTimer {
  public:
    RunTimer(const std::vector<PathMove>& moves, const Run& run, const Controller& c,
             const std::array<double, 3>& travel)
        : moves_(moves), run_(run), c_(c), travel_(travel) {
        for (const std::size_t i : run.members) {
            planned_.push_back(
                {moves[i].unit, moves[i].feed, moves[i].accel, moves[i].feed * moves[i].hold});
        }
        entries_.assign(planned_.size(), 0);
        kept_.assign(planned_.size(), false);
        placed_.moves.resize(planned_.size());
    }

    PlacedRun time(double clock, const Direction& position) {
        const std::size_t count = planned_.size();
        const std::size_t margin = c_.lookAhead + 1;
        auto budget = static_cast<long long>(64 * count + 1024); // moves placed at most
        std::size_t from = 0;
        std::size_t reached = 0; // the furthest a change was found
        int stalled = 0;         // passes since it last grew
        for (bool last = false; !last;) {
            last = budget <= 0; // then one pass over the rest, as it comes
            const std::size_t to = last ? count : std::min(count, from + stretch);
            const std::size_t changed = pass(from, to, clock, position);
            budget -= static_cast<long long>(to - from);
            if (changed == to && to == count) {
                break;
            }
            stalled = changed > reached ? 0 : stalled + 1;
            reached = std::max(reached, changed);
            if (changed == to) { // on from a little before the stretch's end
                from = to - std::min(to, margin);
                continue;
            }
            if (stalled > 8) { // a length that keeps coming back keeps the last
                kept_[changed] = true;
                stalled = 0;
            }
            from = changed > margin ? changed - margin : 0;
        }
        timePlaced(placed_, moves_, run_, c_, clock);
        return placed_;
    }

  private:
    /// Moves placed in one pass; those after them keep their last lengths meanwhile.
    static constexpr std::size_t stretch = 128;

    /// Places the moves from `from` to `to`: each length from the time left to its segment's end
    /// on the score's clock, in whole steps; the run's last, if it would end after the run's
    /// deadline, as much shorter as it takes. Returns the first move whose length changed (none:
    /// `to`).
    std::size_t pass(std::size_t from, std::size_t to, double clock, Direction position) {
        const std::size_t count = planned_.size();
        const auto first = planned_.begin() + static_cast<std::ptrdiff_t>(from);
        const auto seen = static_cast<std::ptrdiff_t>(std::min(count, to + c_.lookAhead + 1));
        std::vector<double> entries;
        if (plansAsKlipper(c_)) { // its look-ahead plans up to the run's stop
            entries = entrySpeeds(planned_, c_);
            entries.erase(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(from));
        } else {
            entries = entrySpeeds({first, planned_.begin() + seen}, c_, entries_[from]);
        }
        if (from > 0) {
            clock = placed_.moves[from].startsAt;
            position = placed_.moves[from - 1].target;
        }
        std::size_t changed = to;
        for (std::size_t k = from; k < to; ++k) {
            const PathMove& m = moves_[run_.members[k]];
            const double entry = entries[k - from];
            const double exit = k + 1 < count ? entries[k + 1 - from] : 0.0;
            Ask ask{m.start + m.hold, Rounding::Nearest, std::nullopt};
            if (kept_[k]) {
                ask.length = planned_[k].length;
            }
            Placed p = placeOne(m, planned_[k], entry, exit, clock, ask, position, travel_, c_);
            // Shortened by what it overshoots; a controller timing in periods may need a second.
            for (int tries = 0; k + 1 == count && tries < 3 && clock + p.seconds > run_.deadline;
                 ++tries) {
                ask.until = std::min(m.start + m.hold, run_.deadline) -
                            (tries > 0 ? clock + p.seconds - run_.deadline : 0);
                ask.rounding = Rounding::TowardStart;
                ask.length.reset();
                p = placeOne(m, planned_[k], entry, exit, clock, ask, position, travel_, c_);
            }
            p.startsAt = clock;
            clock += p.seconds;
            position = p.target;
            if (changed == to && p.planned.length != planned_[k].length) {
                changed = k;
            }
            entries_[k] = entry;
            planned_[k] = p.planned;
            placed_.moves[k] = p;
        }
        if (to < count) {
            placed_.moves[to].startsAt = clock; // where the next stretch starts
            entries_[to] = entries[to - from];
        }
        return changed;
    }

    const std::vector<PathMove>& moves_;
    const Run& run_;
    const Controller& c_;
    const std::array<double, 3>& travel_;
    std::vector<PlannerMove> planned_; ///< as last placed, or the lengths at their feed at first
    std::vector<double> entries_;      ///< as last met
    std::vector<bool> kept_;           ///< moves that keep their last length
    PlacedRun placed_;
};

} // namespace

PlacedRun timeRun(const std::vector<PathMove>& moves, const Run& run, const Controller& c,
                  double clock, const Direction& position, const std::array<double, 3>& travel) {
    return RunTimer(moves, run, c, travel).time(clock, position);
}

} // namespace chimex
