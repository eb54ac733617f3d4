// SPDX-License-Identifier: MIT
#pragma once

#include "cli/convert/timed_gcode_spool.h"
#include "cli/render/chord_plan.h"
#include "machinefile/gcode_format.h"
#include "motion/controller.h"

#include <ostream>

namespace chimex {

/// Writes the plan as G-code: the header with the extents and fastest speeds its moves reach, the
/// start pause, then each segment as one G1 of its moving axes and each rest as a dwell to the
/// millisecond. The feed is the length of the axes' speed vector, taken from the written
/// positions and rounded down, so that no axis runs faster than its note and each move lasts its
/// segment. Returns the number of moves written.
/// `timed`: the controller the plan was timed for by timeChords, its rests after moves timed
/// against the score.
long long writeChordGcode(std::ostream& out, const GcodeFormat& format, const ChordPlan& plan,
                          const Controller* timed = nullptr);

/// A plan timed for a machine that accelerates, and what it could not give the tune: its moves
/// counted as they are in the plan (rests left out).
struct TimedChords {
    ChordPlan plan;
    TimingReport report;
};

/// Shortens each segment's move along its velocity so that its ramps and cruise keep the score's
/// time on `controller`, every segment starting on the score's clock; the rests, and the segments
/// too short to move one whole step, become the dwells that keep the next segment's start. A move
/// that fits the travel neither way ends the plan there, as no room. The result is written with
/// writeChordGcode.
TimedChords timeChords(const ChordPlan& plan, const Controller& controller,
                       const std::array<double, 3>& travel);

} // namespace chimex
