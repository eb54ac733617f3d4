// SPDX-License-Identifier: MIT
#include "grbl_exact.h"

#include "grbl_tune.h"
#include "move_timing.h"
#include "timed_run.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace chimex {

namespace {

/// A gap in the score shorter than this is held by the note before: stopping costs more.
constexpr double shortestStop = 0.01;
/// GRBL keeps positions in single precision: whole steps stay exact below this many.
constexpr double mostSteps = 1 << 22;
constexpr int turns = 4;                 ///< times a tune is timed again with notes turned round
constexpr std::size_t earlyNotes = 3;    ///< the first notes that may be played another way
constexpr std::size_t openingNotes = 24; ///< the notes they are weighed on
constexpr double earlyGoal = 0.001;      ///< first onsets so close need no other way, s
constexpr double earlyGain = 0.0001;     ///< the least gain worth another way, s

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
        at[n.axis] += static_cast<long>(n.sign) * choices[k].steps;
        m.target = static_cast<double>(at[n.axis]) / c.stepsPerUnit[n.axis];
        m.axis = n.axis == axis ? -1 : static_cast<int>(n.axis);
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

/// A tune's notes as they fit the travel, their choices and onset errors (`grblOnsetErrors`).
struct GrblFit {
    std::vector<GrblNote> notes;
    std::vector<GrblChoice> choices;
    std::vector<double> errors;
};

/// The choices for the notes, re-chosen while notes turn round to fit the travel; nothing when
/// none fits.
std::optional<GrblFit> fitTune(std::vector<GrblNote> grbl, const Controller& c,
                               const std::array<double, 3>& travel) {
    for (int turn = 0; turn < turns; ++turn) {
        std::vector<GrblChoice> choices = chooseGrblTiming(grbl, c);
        bool turned = false;
        if (choices.empty() || !fitTravel(grbl, choices, c, travel, turned)) {
            return std::nullopt;
        }
        if (!turned) {
            std::vector<double> errors =
                grblOnsetErrors(grbl, choices, planGrblTune(grbl, choices, c), c);
            return GrblFit{std::move(grbl), std::move(choices), std::move(errors)};
        }
    }
    return std::nullopt;
}

/// The worst of errors `from` to `to` (s).
double worstOf(const std::vector<double>& errors, std::size_t from, std::size_t to) {
    double worst = 0;
    for (std::size_t i = from; i < std::min(to, errors.size()); ++i) {
        worst = std::max(worst, std::abs(errors[i]));
    }
    return worst;
}

/// Whether a note plays alike on either axis: the same steps, acceleration and fastest feed.
bool alike(std::size_t a, std::size_t b, const Controller& c, const std::array<double, 3>& travel,
           const std::array<double, 3>& fastest) {
    return c.stepsPerUnit[a] == c.stepsPerUnit[b] && c.accel[a] == c.accel[b] &&
           fastest[a] == fastest[b] && keepsSteps(a, c, travel) && keepsSteps(b, c, travel);
}

/// Note `i` turned round where it meets a note on its axis without a stop, or moved to another
/// axis where it plays alike (either way): each changes a corner speed.
std::vector<GrblNote> otherWays(const std::vector<GrblNote>& notes, std::size_t i,
                                const Controller& c, const std::array<double, 3>& travel,
                                const std::array<double, 3>& fastest) {
    const auto joins = [&](std::size_t k) { // notes k - 1 and k meet on one axis without a stop
        return k > 0 && k < notes.size() && !notes[k].restBefore &&
               notes[k - 1].axis == notes[k].axis;
    };
    std::vector<GrblNote> ways;
    const GrblNote& n = notes[i];
    if (joins(i) || joins(i + 1)) {
        ways.push_back(n);
        ways.back().sign = -n.sign;
    }
    for (std::size_t axis = 0; axis < 3; ++axis) {
        if (axis != n.axis && alike(axis, n.axis, c, travel, fastest)) {
            for (const double sign : {1.0, -1.0}) {
                ways.push_back(n);
                ways.back().axis = axis;
                ways.back().sign = sign;
            }
        }
    }
    return ways;
}

/// The tune's first onsets hang on its first notes' whole steps alone. When they are off, an early
/// note played another way (stopping at a corner it ran through, running through one it stopped
/// at, or the other way round) gives other lengths to choose from: each is tried on the tune's
/// opening, and the best on the whole tune, kept if it does better there.
GrblFit playEarlyNotes(GrblFit best, const Controller& c, const std::array<double, 3>& travel,
                       const std::array<double, 3>& fastest) {
    const std::size_t early = earlyNotes + 2; // the onsets they move
    if (worstOf(best.errors, 0, early) <= earlyGoal || best.notes.size() < 2) {
        return best;
    }
    const std::size_t count = std::min(best.notes.size(), openingNotes);
    const auto opening = [&](const std::vector<GrblNote>& notes) {
        std::optional<GrblFit> fit =
            fitTune({notes.begin(), notes.begin() + static_cast<std::ptrdiff_t>(count)}, c, travel);
        return fit ? worstOf(fit->errors, 0, count) : std::numeric_limits<double>::infinity();
    };
    std::vector<GrblNote> chosen = best.notes;
    double least = opening(chosen) - earlyGain;
    for (std::size_t i = 0; i <= earlyNotes && i < best.notes.size(); ++i) {
        for (const GrblNote& way : otherWays(best.notes, i, c, travel, fastest)) {
            std::vector<GrblNote> notes = best.notes;
            notes[i] = way;
            const double worst = opening(notes);
            if (worst < least) {
                least = worst;
                chosen = std::move(notes);
            }
        }
    }
    if (chosen == best.notes) {
        return best;
    }
    std::optional<GrblFit> fit = fitTune(std::move(chosen), c, travel);
    const double worst = worstOf(best.errors, 0, best.errors.size());
    if (fit && worstOf(fit->errors, 0, early) <= worstOf(best.errors, 0, early) - earlyGain &&
        worstOf(fit->errors, 0, fit->errors.size()) <= worst) {
        return std::move(*fit);
    }
    return best;
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
    std::optional<GrblFit> fit = fitTune(std::move(grbl), c, travel);
    if (!fit) {
        return std::nullopt;
    }
    const GrblFit best = playEarlyNotes(std::move(*fit), c, travel, fastest);
    return movesOf(notes, best.notes, best.choices, c);
}

} // namespace chimex
