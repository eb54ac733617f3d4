// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/machine_limits.h"
#include "machinefile/timed_move_reader.h"

#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <string>

namespace chimex {

/// Motor steps per length unit: a jog at speed v steps v × steps per unit times a second.
struct MotorSteps {
    StepsPerUnit stepsPerUnit{}; ///< by axisIndex
    /// With an acceleration, each move starts and ends at rest and its pitch glides through the
    /// ramps; without, it hums at its step rate from start to end.
    std::optional<AxisAcceleration> accel;
    /// With a controller that blends moves, each move's pitch glides from its entry speed to its
    /// feed and down to its exit speed as that controller's planner has them.
    std::optional<Controller> blending;
};

struct ListenOutcome {
    NoteTally notes;
    double seconds = 0;
    std::uint64_t samples = 0;
    WarningTally belowHearing; ///< step rates below 20 Hz; firstValue is the rate
    WarningTally aboveHearing; ///< step rates above 20 kHz
};

/// Writes what the motors of the machine will sound like as a WAV file (44.1 kHz, 16-bit, mono):
/// each move hums at its step rate for its time, each motor with its own continuous phase, and
/// pauses are silent. Reads `part` twice: first to time it, so that a sound too long for a WAV
/// file fails before anything is written, then to synthesise it; `part` must be seekable and
/// `wave` too. Throws InputFailure for a part file that is not well-formed, Failure otherwise.
ListenOutcome listenToMoves(std::istream& part, const std::string& name, const MotorSteps& steps,
                            std::ostream& wave, std::ostream& err);

} // namespace chimex
