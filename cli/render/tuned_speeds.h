// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/machine_limits.h"
#include "core/note_capture.h"

#include <array>

namespace chimex {

/// Each key's jog speeds when the motors are to sound its true pitch: the pitch in steps a second
/// over the axis's steps per length unit, moved down by octaves while it is faster than the
/// axis's fastest jog speed. Speeds in length units a second, as singles.
/// X and Y each have their own, as their motors may differ.
struct TunedSpeeds {
    std::array<std::array<float, keyCount>, 3> speed{};  ///< by axisIndex, then key
    std::array<std::array<bool, keyCount>, 3> lowered{}; ///< moved down by at least one octave

    /// Key `key`'s speeds on each axis, as the note planner takes them.
    NoteSpeeds of(int key) const;
};

/// Throws InputFailure when no octave of a key fits under `maxXYSpeed` on X or Y (a fastest speed
/// of 0 or less). A key that no octave fits on Z keeps its speed, so the note planner never puts
/// it on Z.
TunedSpeeds tunedSpeeds(const StepsPerUnit& steps, float maxXYSpeed, float maxZSpeed);

} // namespace chimex
