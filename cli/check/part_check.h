// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/machine_limits.h"
#include "machinefile/gcode_format.h"
#include "motion/move_timing.h"
#include "motion/planner.h"
#include "partfile/part_file_reader.h"

#include <array>
#include <functional>
#include <istream>
#include <optional>
#include <vector>

namespace chimex {

/// What replaying a part file found. Line 0 of a violation stands for the file as a whole (a header
/// value it does not state, an end it lacks).
struct CheckReport {
    long long lines = 0;
    NoteTally notes;
    long long pauses = 0; ///< PAUSE lines, the start pause included
    std::array<AxisExtent, 3> extents;
    double fastestXYSpeed = 0;
    double fastestZSpeed = 0;
    double runningSeconds =
        0; ///< pauses plus each jog's time (its ramps too, given an acceleration)
    long long violationCount = 0;
    /// The G-code's dialect, unit and the machine it states it was timed for; none for a part file.
    std::optional<GcodeFormat> gcode;
    /// Every violation ordered by line, kept only by the check that is handed no handler.
    std::vector<MoveIssue> violations;

    bool clean() const { return violationCount == 0; }
};

using ViolationHandler = std::function<void(const MoveIssue&)>;

/// Replays the part file from 0, 0, 0 and checks every line is well-formed, every coordinate lies
/// strictly between 0 and its limit (the start move to 0, 0, 0 may touch 0), every jog keeps to
/// its axis's speed limit, and the header states the extents and fastest speeds the jogs reach.
/// The file must also end as the writer ends it (footer, program end). Each violation goes to
/// `onViolation` as it is found, so that memory stays flat: lines in the order read, then what
/// concerns the file as a whole. Throws InputFailure when the stream cannot be read or is not
/// text (a line far too long, a NUL byte). With `accel`, each jog starts and ends at rest and its
/// ramps count in the running time; with `blending`, the moves blend through their junctions as
/// that controller's planner has them instead.
CheckReport checkMoveFile(std::istream& in, const MachineLimits& limits,
                          const ViolationHandler& onViolation,
                          const std::optional<AxisAcceleration>& accel = std::nullopt,
                          const std::optional<Controller>& blending = std::nullopt);

/// The same, keeping the violations in the report, ordered by line (line 0 first).
CheckReport checkMoveFile(std::istream& in, const MachineLimits& limits);

/// The value the replayed jogs reach for a header item: an extent or a fastest speed. The one
/// mapping from a report to header values.
double reachedValue(const CheckReport& report, HeaderItem item);

} // namespace chimex
