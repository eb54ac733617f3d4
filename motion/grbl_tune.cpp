// SPDX-License-Identifier: MIT
#include "grbl_tune.h"

#include "planner.h"

#include <algorithm>
#include <cmath>

namespace chimex {

std::vector<GrblPlanned> planGrblTune(const std::vector<GrblNote>& notes,
                                      const std::vector<GrblChoice>& choices, const Controller& c) {
    std::vector<GrblPlanned> planned(notes.size());
    for (std::size_t from = 0; from < notes.size();) {
        std::size_t to = from + 1;
        while (to < notes.size() && !startsRun(notes, to)) {
            ++to;
        }
        std::vector<PlannerMove> run;
        for (std::size_t k = from; k < to; ++k) {
            const double length =
                static_cast<double>(choices[k].steps) / c.stepsPerUnit[notes[k].axis];
            run.push_back({unitOf(notes[k]), choices[k].feed, c.accel[notes[k].axis], length});
        }
        const std::vector<double> entries = entrySpeeds(run, c);
        for (std::size_t k = from; k < to; ++k) {
            const PlannerMove& m = run[k - from];
            const double exit = k + 1 < to ? entries[k + 1 - from] : 0.0;
            GrblPlanned& p = planned[k];
            p.length = m.length;
            p.speeds = {m.feed, std::min(entries[k - from], m.feed), std::min(exit, m.feed),
                        m.accel};
            p.timing = grblMoveTiming({choices[k].steps, m.length, p.speeds});
        }
        from = to;
    }
    return planned;
}

std::vector<double> grblOnsetErrors(const std::vector<GrblNote>& notes,
                                    const std::vector<GrblChoice>& choices,
                                    const std::vector<GrblPlanned>& planned, const Controller& c) {
    std::vector<double> errors;
    double clock = 0; // the interrupt that starts each move, from the first note's
    double first = 0;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        if (i > 0 && notes[i].restBefore) {
            const auto [early, late] = grblRestartRange(c.stopDelay, choices[i].dwellSteps,
                                                        planned[i - 1].timing.lastTick);
            clock += (early + late) / 2;
        }
        const double onset = clock + planned[i].timing.firstStep;
        first = i == 0 ? onset : first;
        errors.push_back(onset - first - (notes[i].start - notes[0].start));
        if (i + 1 == notes.size()) {
            errors.push_back(clock + planned[i].timing.lastStep - first -
                             (notes[i].start + notes[i].hold - notes[0].start));
        }
        clock += planned[i].timing.end;
    }
    return errors;
}

} // namespace chimex
