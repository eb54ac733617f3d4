// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/machine_limits.h"
#include "cli/preview/pitch_band.h"
#include "machinefile/timed_move_reader.h"

#include <array>
#include <istream>
#include <string>

namespace chimex {

/// What a preview needs to know before it draws: how far the tool goes and how long it takes.
struct PreviewSummary {
    NoteTally notes;
    long long pauses = 0;              ///< pauses that last
    std::array<long long, 3> moves{};  ///< jogs that go somewhere, by axis
    std::array<AxisExtent, 3> extents; ///< reached, starting from 0, 0, 0
    std::array<double, 3> start{};     ///< where the first jog begins
    std::array<double, 3> end{};       ///< where the last jog ends
    double seconds = 0;                ///< running time
    std::array<bool, bandCount> bandsUsed{};
    WarningTally outsideTravel; ///< jogs that end outside 0 to the axis limit
};

/// Replays the part file to sum it up. Prints the timing warnings to `err`. Throws InputFailure
/// when it is not well-formed.
PreviewSummary summariseMoves(std::istream& part, const std::string& name,
                              const MachineLimits& limits, const PitchBands& bands,
                              std::ostream& err);

} // namespace chimex
