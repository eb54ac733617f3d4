// SPDX-License-Identifier: MIT
#include "grbl_tune.h"

#include "junction.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

namespace chimex {

namespace {

constexpr double grid = 0.00002;      ///< the onset errors weighed, s
constexpr int span = 250;             ///< errors up to 5 ms either way
constexpr double feedSpread = 0.0009; ///< feeds tried, either side: the pitch keeps within 0.1 %
constexpr int feedSteps = 2;          ///< feeds tried on either side of the note's own
constexpr double legatoReach = 0.006; ///< lengths tried either side of the note's, s
constexpr double restReach = 0.03;    ///< before a rest, whose dwell comes in 50 ms steps
constexpr double restStretch = 0.035; ///< how far a note before a rest may be held off its time
constexpr int passes = 8;
constexpr double goodEnough = 0.001;     ///< a worst onset error no further pass need better, s
constexpr double restartDoubt = 0.00015; ///< how far a restart may be unsure, s

int onGrid(double seconds) {
    return static_cast<int>(std::clamp(std::round(seconds / grid), -1e6, 1e6));
}

/// A choice for a note and what it does: how it moves the note's own onset error (its first step,
/// and the note before, which it leaves at another speed), and the next onset's (for the last
/// note, the end's), in grid units.
struct Option {
    GrblChoice choice;
    int pre = 0;
    int delta = 0;
};

/// What the moves around a note, as last planned, allow it: the corner speed and feed of the move
/// before, the speed that move can reach, and the speed the move after can be entered at.
struct Neighbours {
    double corner = 0;
    double reachable = 0;
    double exit = 0;
};

Neighbours neighboursOf(const std::vector<GrblNote>& notes, const std::vector<GrblChoice>& choices,
                        const std::vector<GrblPlanned>& planned, std::size_t i,
                        const Controller& c) {
    Neighbours n;
    if (!startsRun(notes, i)) {
        const GrblPlanned& p = planned[i - 1];
        n.corner = std::min(cornerSpeed(unitOf(notes[i - 1]), unitOf(notes[i]), c.corner),
                            choices[i - 1].feed);
        n.reachable = std::sqrt(p.speeds.entry * p.speeds.entry + 2 * p.speeds.accel * p.length);
    }
    if (i + 1 < notes.size() && !notes[i + 1].restBefore) {
        const GrblPlanned& p = planned[i + 1];
        n.exit = std::min(
            {cornerSpeed(unitOf(notes[i]), unitOf(notes[i + 1]), c.corner), choices[i + 1].feed,
             std::sqrt(p.speeds.exit * p.speeds.exit + 2 * p.speeds.accel * p.length)});
    }
    return n;
}

/// Builds the options of one note against the tune as last planned.
class OptionMaker {
  public:
    OptionMaker(const std::vector<GrblNote>& notes, const std::vector<GrblChoice>& choices,
                const std::vector<GrblPlanned>& planned, const Controller& c)
        : notes_(notes), choices_(choices), planned_(planned), c_(c) {}

    std::vector<Option> optionsOf(std::size_t i) {
        const GrblNote& note = notes_[i];
        near_ = neighboursOf(notes_, choices_, planned_, i, c_);
        shiftFor_ = -1;
        const double spu = c_.stepsPerUnit[note.axis];
        const bool last = i + 1 == notes_.size();
        const bool restNext = !last && notes_[i + 1].restBefore;
        const double period = 1 / (note.feed * spu);
        const long reach =
            std::min(400L, std::lround((restNext ? restReach : legatoReach) / period) + 3);
        const long middle = stepsLasting(i, note.hold, last);
        std::vector<Option> options;
        for (const bool any : {false, true}) {
            anyRestart_ = any;
            for (const double feed : feedsOf(note)) {
                for (long steps = std::max(1L, middle - reach); steps <= middle + reach; ++steps) {
                    add(i, {steps, feed, 0}, last, restNext, period, options);
                }
            }
            if (!options.empty()) {
                break;
            }
        }
        return options;
    }

  private:
    MoveSpeeds speedsOf(std::size_t i, double length, double feed) const {
        const double accel = c_.accel[notes_[i].axis];
        const double reach = 2 * accel * length;
        const double entry = startsRun(notes_, i)
                                 ? 0.0
                                 : std::min({near_.corner, feed, near_.reachable,
                                             std::sqrt(near_.exit * near_.exit + reach)});
        const double exit = std::min({near_.exit, feed, std::sqrt(entry * entry + reach)});
        return {feed, entry, exit, accel};
    }

    GrblMoveTiming timingOf(std::size_t i, long steps, double feed, double& entry) const {
        const double length = static_cast<double>(steps) / c_.stepsPerUnit[notes_[i].axis];
        const MoveSpeeds speeds = speedsOf(i, length, feed);
        entry = speeds.entry;
        return grblMoveTiming({steps, length, speeds});
    }

    /// The least steps whose move lasts `hold` (for the last note, from its first step to its
    /// last), at the note's own feed.
    long stepsLasting(std::size_t i, double hold, bool last) const {
        const auto lasts = [&](long steps) {
            double entry = 0;
            const GrblMoveTiming t = timingOf(i, steps, choices_[i].feed, entry);
            return (last ? t.lastStep - t.firstStep : t.end) >= hold;
        };
        long low = 0, high = std::max(2L, 2 * choices_[i].steps);
        while (!lasts(high) && high < (1L << 26)) {
            high *= 2;
        }
        while (high - low > 1) {
            const long mid = (low + high) / 2;
            (lasts(mid) ? high : low) = mid;
        }
        return high;
    }

    std::vector<double> feedsOf(const GrblNote& note) const {
        std::vector<double> feeds;
        for (int j = -feedSteps; j <= feedSteps; ++j) {
            double feed = note.feed * (1 + feedSpread * j / feedSteps);
            feed = c_.feedAsWritten ? c_.feedAsWritten(feed) : feed;
            if (j == 0 || !(note.fastest > 0) || feed <= note.fastest) {
                feeds.push_back(feed);
            }
        }
        return feeds;
    }

    /// How much longer the move before lasts when this one is entered at `entry`.
    double shiftBefore(std::size_t i, double entry) {
        if (startsRun(notes_, i)) {
            return 0;
        }
        if (entry != shiftFor_) {
            const GrblPlanned& p = planned_[i - 1];
            MoveSpeeds speeds = p.speeds;
            speeds.exit = std::min({entry, near_.reachable, speeds.feed});
            shiftFor_ = entry;
            shift_ =
                speeds.exit == p.speeds.exit
                    ? 0.0
                    : grblMoveTiming({choices_[i - 1].steps, p.length, speeds}).end - p.timing.end;
        }
        return shift_;
    }

    void add(std::size_t i, GrblChoice choice, bool last, bool restNext, double period,
             std::vector<Option>& options) {
        const GrblNote& note = notes_[i];
        double entry = 0;
        const GrblMoveTiming t = timingOf(i, choice.steps, choice.feed, entry);
        if (!(t.end > 0)) {
            return;
        }
        const double pre =
            i == 0 ? 0.0 : shiftBefore(i, entry) + t.firstStep - planned_[i].timing.firstStep;
        if (last) {
            options.push_back({choice, onGrid(pre), onGrid(t.lastStep - t.firstStep - note.hold)});
            return;
        }
        double delta = t.end - t.firstStep + planned_[i + 1].timing.firstStep -
                       (notes_[i + 1].start - note.start);
        if (restNext) {
            if (!anyRestart_ && std::abs(t.end - note.hold) > restStretch + period) {
                return;
            }
            const double wait = -(delta + c_.stopDelay + t.lastTick / 2);
            const int dwellSteps = std::max(0, static_cast<int>(std::lround(wait / grblDwellStep)));
            const auto [early, late] = grblRestartRange(c_.stopDelay, dwellSteps, t.lastTick);
            if (!anyRestart_ && late - early > restartDoubt) {
                return; // the tick the move starts on is not certain
            }
            delta += (early + late) / 2;
            choice.dwellSteps = dwellSteps; // carried to the next note's choice
        }
        options.push_back({choice, onGrid(pre), onGrid(delta)});
    }

    const std::vector<GrblNote>& notes_;
    const std::vector<GrblChoice>& choices_;
    const std::vector<GrblPlanned>& planned_;
    const Controller& c_;
    Neighbours near_;
    bool anyRestart_ = false; ///< options before a rest kept however far off and unsure
    double shiftFor_ = -1;
    double shift_ = 0;
};

/// Options that move the errors alike are one: the first is kept. Those that would move an error
/// beyond the span are left out while others remain.
std::vector<Option> distinct(std::vector<Option> options) {
    const auto within = [](const Option& o) {
        return std::abs(o.pre) <= 2 * span && std::abs(o.delta) <= 2 * span;
    };
    if (std::any_of(options.begin(), options.end(), within)) {
        options.erase(std::remove_if(options.begin(), options.end(),
                                     [&](const Option& o) { return !within(o); }),
                      options.end());
    }
    std::stable_sort(options.begin(), options.end(), [](const Option& a, const Option& b) {
        return a.pre != b.pre ? a.pre < b.pre : a.delta < b.delta;
    });
    options.erase(std::unique(options.begin(), options.end(),
                              [](const Option& a, const Option& b) {
                                  return a.pre == b.pre && a.delta == b.delta;
                              }),
                  options.end());
    return options;
}

/// The worst and the sum of the onset errors along a choice of options, in grid units.
struct Cost {
    int worst = INT_MAX;
    long long sum = LLONG_MAX;
    bool operator<(const Cost& o) const { return worst != o.worst ? worst < o.worst : sum < o.sum; }
};

/// The stretch of notes one programme looks at, and the notes of it decided before the next.
constexpr std::size_t window = 256;
constexpr std::size_t decided = 192;

/// Options picked for a stretch of notes, and after each the error's state and its cost.
struct Stretch {
    std::vector<std::size_t> picks;
    std::vector<int> states;
    std::vector<Cost> costs;
};

/// One option a note for notes `from` to `to` by dynamic programming over the onset errors on the
/// grid, entered at `state` with `cost`: the least worst error, then the least sum; `closes`: the
/// last is the tune's, whose last step's error counts too. Errors beyond the span are weighed in
/// full but kept at its edge. Empty when a note has no options.
Stretch programStretch(const std::vector<std::vector<Option>>& options, std::size_t from,
                       std::size_t to, int state, Cost cost, bool closes) {
    constexpr int size = 2 * span + 1;
    std::vector<std::vector<Cost>> values(to - from, std::vector<Cost>(size));
    std::vector<std::vector<std::pair<int, int>>> back(to - from);
    std::vector<Cost> value(size);
    value[static_cast<std::size_t>(state)] = cost;
    for (std::size_t i = from; i < to; ++i) {
        std::vector<Cost>& next = values[i - from];
        back[i - from].assign(size, {-1, -1});
        for (int s = 0; s < size; ++s) {
            if (value[static_cast<std::size_t>(s)].worst == INT_MAX) {
                continue;
            }
            const Cost& before = value[static_cast<std::size_t>(s)];
            for (std::size_t j = 0; j < options[i].size(); ++j) {
                const Option& o = options[i][j];
                const int here = s - span + o.pre;
                Cost base{std::max(before.worst, std::abs(here)), before.sum + std::abs(here)};
                const int after = std::clamp(std::clamp(here, -span, span) + o.delta, -span, span);
                if (closes && i + 1 == to) {
                    base = {std::max(base.worst, std::abs(after)), base.sum + std::abs(after)};
                }
                const auto at = static_cast<std::size_t>(after + span);
                if (base < next[at]) {
                    next[at] = base;
                    back[i - from][at] = {s, static_cast<int>(j)};
                }
            }
        }
        value = next;
    }
    const auto best = std::min_element(value.begin(), value.end());
    if (best->worst == INT_MAX) {
        return {};
    }
    Stretch out;
    out.picks.resize(to - from);
    out.states.resize(to - from);
    out.costs.resize(to - from);
    for (std::size_t k = to - from, at = static_cast<std::size_t>(best - value.begin()); k-- > 0;) {
        out.states[k] = static_cast<int>(at);
        out.costs[k] = values[k][at];
        out.picks[k] = static_cast<std::size_t>(back[k][at].second);
        at = static_cast<std::size_t>(back[k][at].first);
    }
    return out;
}

/// One option a note for the whole tune, a stretch at a time from the first note's onset, each
/// stretch's last notes decided again with the next. Empty when a note has no options.
std::vector<std::size_t> program(const std::vector<std::vector<Option>>& options) {
    std::vector<std::size_t> picks;
    int state = span;
    Cost cost{0, 0};
    for (std::size_t from = 0; from < options.size();) {
        const std::size_t to = std::min(options.size(), from + window);
        const bool closes = to == options.size();
        const Stretch stretch = programStretch(options, from, to, state, cost, closes);
        if (stretch.picks.empty()) {
            return {};
        }
        const std::size_t keep = closes ? to - from : decided;
        picks.insert(picks.end(), stretch.picks.begin(),
                     stretch.picks.begin() + static_cast<std::ptrdiff_t>(keep));
        state = stretch.states[keep - 1];
        cost = stretch.costs[keep - 1];
        from += keep;
    }
    return picks;
}

double worstOf(const std::vector<double>& errors) {
    double worst = 0;
    for (const double e : errors) {
        worst = std::max(worst, std::abs(e));
    }
    return worst;
}

/// Each note's length as a move from rest to rest lasting its time.
std::vector<GrblChoice> firstGuess(const std::vector<GrblNote>& notes, const Controller& c) {
    std::vector<GrblChoice> choices;
    for (const GrblNote& n : notes) {
        const double feed = c.feedAsWritten ? c.feedAsWritten(n.feed) : n.feed;
        const double length = lengthForDuration(n.hold, {feed, 0, 0, c.accel[n.axis]}).length;
        choices.push_back({std::max(1L, std::lround(length * c.stepsPerUnit[n.axis])), feed, 0});
    }
    return choices;
}

} // namespace

std::vector<GrblChoice> chooseGrblTiming(const std::vector<GrblNote>& notes, const Controller& c) {
    std::vector<GrblChoice> choices = firstGuess(notes, c);
    std::vector<GrblChoice> best;
    double bestWorst = std::numeric_limits<double>::infinity();
    int stale = 0; // passes since the best
    for (int pass = 0; pass < passes; ++pass) {
        const std::vector<GrblPlanned> planned = planGrblTune(notes, choices, c);
        OptionMaker maker(notes, choices, planned, c);
        std::vector<std::vector<Option>> options;
        for (std::size_t i = 0; i < notes.size(); ++i) {
            options.push_back(distinct(maker.optionsOf(i)));
        }
        const std::vector<std::size_t> picks = program(options);
        if (picks.empty()) {
            break;
        }
        for (std::size_t i = 0; i < notes.size(); ++i) {
            choices[i] = options[i][picks[i]].choice;
        }
        // A note's dwell steps are chosen with the note before the rest.
        for (std::size_t i = notes.size(); i-- > 1;) {
            choices[i].dwellSteps = notes[i].restBefore ? choices[i - 1].dwellSteps : 0;
        }
        choices[0].dwellSteps = 0;
        const double worst =
            worstOf(grblOnsetErrors(notes, choices, planGrblTune(notes, choices, c), c));
        stale = worst < bestWorst ? 0 : stale + 1;
        if (worst < bestWorst) {
            bestWorst = worst;
            best = choices;
        }
        if (worst <= goodEnough || stale == 2) {
            break;
        }
    }
    return best;
}

} // namespace chimex
