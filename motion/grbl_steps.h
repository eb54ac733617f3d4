// SPDX-License-Identifier: MIT
#pragma once

#include "move_timing.h"

#include <utility>
#include <vector>

namespace chimex {

/// One planned move as GRBL 1.1's stepper runs it: its step events (the steps of the axis that
/// steps most), its length in units and its planner speeds (entry and exit at most the feed).
struct GrblMove {
    long steps = 0;
    double length = 0;
    MoveSpeeds speeds;
};

/// When a move's step pulses come, in seconds from the stepper interrupt that starts it: the
/// first and the last of its axis that steps most, the interrupt that starts the next move (its
/// end), and the period the stepper timer keeps after it, which a move started from rest waits
/// on average half of. All 0 for a move GRBL drops (no step) or one beyond reckoning.
struct GrblMoveTiming {
    double firstStep = 0;
    double lastStep = 0;
    double end = 0;
    double lastTick = 0;
};

/// GRBL cuts a move into segments of 10 ms of its velocity profile, lengthened by 10 ms at a
/// time until one holds 1.25 steps; each runs its whole steps at one rate, the time of a part
/// step carried to the next, its period rounded up to the 16 MHz clock, then down to a whole
/// interrupt period of its step smoothing level (1, 2, 4 or 8 interrupts a step, at most 65535
/// cycles each), and each interrupt lasts one cycle more than its count. A step is pulsed one
/// interrupt after the one that counts it, and counting starts half a step in. Worked in double
/// precision where GRBL works in single: a segment that ends within a rounding error of a whole
/// step (round feeds and lengths) may count that step one segment later than GRBL does.
GrblMoveTiming grblMoveTiming(const GrblMove& move);

/// Every step pulse's time, in seconds from the interrupt that starts the move.
std::vector<double> grblStepTimes(const GrblMove& move);

/// Seconds from the end of a move that stops to the first interrupt of the next move, with a
/// `G4` of `dwellSteps` dwell steps between them: the stepper idles `stopDelay` ($1) first, the
/// dwell follows, and the stepper timer, still running at the stopped move's `lastTick`, starts
/// the next move on its next tick: on average half a period later.
double grblRestart(double stopDelay, int dwellSteps, double lastTick);

/// Seconds from the end of a dwell to the stepper waking for the next move, as GRBL's main loop
/// reads and plans the lines that waited (up to the next dwell): in simulation, between these.
inline constexpr double grblWakeLatency[2] = {0, 0.00014};

/// The same as grblRestart for a stepper whose timer kept counting at `lastTick` while it idled
/// (as grbl-sim keeps it): the next move starts on the first tick after the stepper wakes,
/// `latency` after the dwell.
double grblRestartOnTick(double stopDelay, int dwellSteps, double lastTick, double latency);

/// grblRestartOnTick over the latencies GRBL may take: the earliest and the latest.
std::pair<double, double> grblRestartRange(double stopDelay, int dwellSteps, double lastTick);

/// GRBL's dwell step: `G4 P` waits whole steps of 50 ms, rounded up.
inline constexpr double grblDwellStep = 0.05;

/// The seconds `G4 P<seconds>` waits on GRBL.
double grblDwell(double seconds);

/// The value to write in `G4 P` for a dwell of `steps` whole dwell steps: a millisecond short of
/// them, so that GRBL's rounding up in single precision lands on them (0: a stop without dwell).
double grblDwellRequest(int steps);

} // namespace chimex
