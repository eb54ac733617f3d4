// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/machine_limits.h"
#include "partfile/part_file_reader.h"

#include <array>
#include <istream>
#include <vector>

namespace chimex {

/// What replaying a part file found. Violations are ordered by line; line 0 stands for the file
/// as a whole (a header value it does not state).
struct CheckReport {
    long long lines = 0;
    long long notes = 0;  ///< jogs that move one axis, as a note's jog line does
    long long pauses = 0; ///< PAUSE lines, the start pause included
    std::array<AxisExtent, 3> extents;
    double fastestXYSpeed = 0;
    double fastestZSpeed = 0;
    double runningSeconds = 0; ///< pauses plus each jog's distance over its speed
    std::vector<PartIssue> violations;

    bool clean() const { return violations.empty(); }
};

/// Replays the part file from 0, 0, 0 and checks every line is well-formed, every coordinate lies
/// strictly between 0 and its limit (the start move to 0, 0, 0 may touch 0), every jog keeps to
/// its axis's speed limit, and the header states the extents and fastest speeds the jogs reach.
/// Throws Failure only when the stream cannot be read.
CheckReport checkPartFile(std::istream& in, const MachineLimits& limits);

} // namespace chimex
