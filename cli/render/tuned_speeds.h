// SPDX-License-Identifier: MIT
#pragma once

#include "core/note_capture.h"

#include <array>

namespace chimex {

/// Each key's jog speeds when the motors are to sound its true pitch: the pitch in steps a second
/// over the axis's steps per length unit, moved down by octaves while it is faster than the
/// axis's fastest jog speed. Speeds in length units a second, as singles.
struct TunedSpeeds {
    std::array<float, keyCount> xy{};
    std::array<float, keyCount> z{};
    std::array<bool, keyCount> xyLowered{}; ///< moved down by at least one octave
    std::array<bool, keyCount> zLowered{};
};

/// Throws InputFailure when no octave of a key fits under `maxXYSpeed` (a fastest speed of 0 or
/// less). A key that no octave fits on Z keeps its speed, so the note planner never puts it on Z.
TunedSpeeds tunedSpeeds(double stepsPerUnit, double zStepsPerUnit, float maxXYSpeed,
                        float maxZSpeed);

} // namespace chimex
