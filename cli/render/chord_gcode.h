// SPDX-License-Identifier: MIT
#pragma once

#include "cli/render/chord_plan.h"
#include "machinefile/gcode_format.h"

#include <ostream>

namespace chimex {

/// Writes the plan as G-code: the header with the extents and fastest speeds its moves reach, the
/// start pause, then each segment as one G1 of its moving axes and each rest as a dwell to the
/// millisecond. The feed is the length of the axes' speed vector, taken from the written
/// positions and rounded down, so that no axis runs faster than its note and each move lasts its
/// segment. Returns the number of moves written.
long long writeChordGcode(std::ostream& out, const GcodeFormat& format, const ChordPlan& plan);

} // namespace chimex
