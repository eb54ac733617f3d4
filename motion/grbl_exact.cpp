// SPDX-License-Identifier: MIT
#include "grbl_exact.h"

#include "grbl_tune.h"
#include "move_timing.h"
#include "timed_run.h"

#include <algorithm>
#include <cmath>

namespace chimex {

namespace {

/// A gap in the score shorter than this is held by the note before: stopping costs more.
constexpr double shortestStop = 0.01;
/// GRBL keeps positions in single precision: whole steps stay exact below this many.
constexpr double mostSteps = 1 << 22;
constexpr int turns = 4; ///< times a tune is timed again with notes turned round

/// Whether the axis's whole steps survive being written and read back by GRBL.
bool keepsSteps(std::size_t axis, const Controller& c, const std::array<double, 3>& travel) {
    const double spu = c.stepsPerUnit[axis];
    const double written = c.positionDecimals >= 0 ? 0.5 * std::pow(10.0, -c.positionDecimals) : 0;
    return spu > 0 && std::isfinite(spu) && written * spu < 0.25 && travel[axis] * spu < mostSteps;
}

bool sounds(const TimingNote& n, const Controller& c) {
    const double steps = n.feed * n.hold * c.stepsPerUnit[static_cast<std::size_t>(n.axis)];
    return n.feed > 0 && std::isfinite(n.feed) && n.hold > 0 && std::isfinite(steps) &&
           steps >= 0.5;
}

/// The sounding notes; a gap too short to stop in joins the note before.
std::vector<GrblNote> grblNotes(const std::vector<TimingNote>& notes, const Controller& c,
                                const std::array<double, 3>& fastest) {
    const double stop = std::max(shortestStop, c.stopDelay);
    std::vector<GrblNote> out;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const TimingNote& n = notes[i];
        if (!sounds(n, c)) {
            continue;
        }
        GrblNote g;
        g.index = i;
        g.axis = static_cast<std::size_t>(n.axis);
        g.sign = n.direction < 0 ? -1 : 1;
        g.feed = n.feed;
        g.fastest = fastest[g.axis];
        g.start = n.start;
        g.hold = n.hold;
        if (!out.empty()) {
            GrblNote& before = out.back();
            g.restBefore = n.start - (before.start + before.hold) >= stop;
            before.hold = g.restBefore ? before.hold : n.start - before.start;
        }
        out.push_back(g);
    }
    return out;
}

/// Walks the moves from 0, 0, 0 in whole steps, turning round a note that would leave the
/// travel; false when one fits neither way.
bool fitTravel(std::vector<GrblNote>& notes, const std::vector<GrblChoice>& choices,
               const Controller& c, const std::array<double, 3>& travel, bool& turned) {
    std::array<long, 3> at{};
    turned = false;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        GrblNote& n = notes[i];
        const double top = travel[n.axis] * c.stepsPerUnit[n.axis];
        const auto inside = [&](long to) {
            return to > 0 && static_cast<double>(to) < top;
        };
        const long steps = choices[i].steps;
        long to = at[n.axis] + static_cast<long>(n.sign) * steps;
        if (!inside(to)) {
            to = at[n.axis] - static_cast<long>(n.sign) * steps;
            if (!inside(to)) {
                return false;
            }
            n.sign = -n.sign;
            turned = true;
        }
        at[n.axis] = to;
    }
    return true;
}

/// The closing dwell after the last note, in dwell steps, when the score ends well after it.
double closingDwell(const std::vector<TimingNote>& notes, const GrblNote& last,
                    const Controller& c) {
    const double end = notes.back().start + notes.back().hold;
    const double left = end - (last.start + last.hold) - c.stopDelay;
    return grblDwellRequest(static_cast<int>(std::max(0L, std::lround(left / grblDwellStep))));
}

std::vector<TimedMove> movesOf(const std::vector<TimingNote>& score,
                               const std::vector<GrblNote>& notes,
                               const std::vector<GrblChoice>& choices, const Controller& c) {
    const std::vector<GrblPlanned> planned = planGrblTune(notes, choices, c);
    const std::vector<double> errors = grblOnsetErrors(notes, choices, planned, c);
    std::vector<TimedMove> moves(score.size());
    std::array<long, 3> at{};
    std::size_t k = 0;
    for (std::size_t i = 0; i < score.size(); ++i) {
        const auto axis = static_cast<std::size_t>(score[i].axis);
        TimedMove& m = moves[i];
        if (k == notes.size() || notes[k].index != i) {
            m.silence = Silence::TooShort;
            m.target = static_cast<double>(at[axis]) / c.stepsPerUnit[axis];
            continue;
        }
        const GrblNote& n = notes[k];
        at[axis] += static_cast<long>(n.sign) * choices[k].steps;
        m.target = static_cast<double>(at[axis]) / c.stepsPerUnit[axis];
        m.feed = choices[k].feed;
        m.reachesFeed = timeAtFeed(planned[k].length, planned[k].speeds) > 0;
        if (k == 0) { // the silence before the first note, in whole dwell steps
            m.dwellBefore = grblDwellRequest(static_cast<int>(
                std::max(0L, std::lround((n.start - score.front().start) / grblDwellStep))));
        } else if (n.restBefore) {
            m.dwellBefore = grblDwellRequest(choices[k].dwellSteps);
            m.stopBefore = choices[k].dwellSteps == 0;
        }
        const double allowed =
            k == 0
                ? 0.0
                : halfMillisecond + 0.5 / (choices[k - 1].feed * c.stepsPerUnit[notes[k - 1].axis]);
        m.startsOff = std::abs(errors[k]) > allowed ? errors[k] : 0;
        ++k;
    }
    moves[notes.back().index].dwellAfter = closingDwell(score, notes.back(), c);
    return moves;
}

} // namespace

std::optional<std::vector<TimedMove>> timeGrblMoves(const std::vector<TimingNote>& notes,
                                                    const Controller& c,
                                                    const std::array<double, 3>& travel,
                                                    const std::array<double, 3>& fastest) {
    if (!c.grblSteps) {
        return std::nullopt;
    }
    for (const TimingNote& n : notes) {
        if (n.axis < 0 || n.axis > 2 || !keepsSteps(static_cast<std::size_t>(n.axis), c, travel)) {
            return std::nullopt;
        }
    }
    std::vector<GrblNote> grbl = grblNotes(notes, c, fastest);
    if (grbl.empty()) {
        return std::nullopt;
    }
    for (int turn = 0; turn < turns; ++turn) {
        const std::vector<GrblChoice> choices = chooseGrblTiming(grbl, c);
        bool turned = false;
        if (choices.empty() || !fitTravel(grbl, choices, c, travel, turned)) {
            return std::nullopt;
        }
        if (!turned) {
            return movesOf(notes, grbl, choices, c);
        }
    }
    return std::nullopt;
}

} // namespace chimex
