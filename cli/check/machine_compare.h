// SPDX-License-Identifier: MIT
#pragma once

#include "machinefile/timed_for.h"

#include <array>
#include <string>
#include <vector>

namespace chimex {

/// Each value a file states it was timed for that the machine's differs from, as a message that
/// says what it means for the tune: pitches for steps, onsets for the rest. Values the machine
/// does not give, and accelerations of axes no note moves (fastest speed 0), are left out.
/// Lengths in `unit`; `fastest` is the fastest X and Y and the fastest Z speed the file reaches.
std::vector<std::string> machineDifferences(const TimedFor& stated, const TimedFor& machine,
                                            LengthUnit unit, const std::array<double, 2>& fastest);

} // namespace chimex
