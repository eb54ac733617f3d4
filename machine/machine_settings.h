// SPDX-License-Identifier: MIT
#pragma once

#include "machinefile/gcode_format.h"
#include "partfile/axis.h"

#include <array>
#include <filesystem>
#include <istream>
#include <optional>
#include <string>
#include <string_view>

namespace chimex {

/// One axis as its controller moves it, in the machine's length unit. Each value is there only
/// where the file gives it (or the controller's documented default stands in for it), so that a
/// command-line option can take the place of any one of them.
struct AxisSettings {
    std::optional<double> stepsPerUnit; ///< motor steps per length unit, above 0
    std::optional<double> fastestSpeed; ///< units/s, above 0
    std::optional<double> accel;        ///< units/s² a move of this axis alone ramps at, above 0
    std::optional<double> travelMin;    ///< units; below travelMax where both are given
    std::optional<double> travelMax;
};

/// Klipper's corner rule: the speed a 90° corner is taken at, and the share of each move kept
/// at cruising speed. Klipper derives its junction deviation from the first and max_accel.
struct SquareCorner {
    double velocity = 5;             ///< units/s, at least 0
    double minimumCruiseRatio = 0.5; ///< from 0 up to (not including) 1
};

/// What a controller's own settings say about how it moves, each value only where the file
/// gives it (see AxisSettings).
struct MachineSettings {
    GcodeDialect controller = GcodeDialect::Grbl; ///< whose settings these are
    std::optional<LengthUnit> unit;
    std::array<AxisSettings, 3> axes{}; ///< X, Y, Z by axisIndex
    /// The corner rule: a junction deviation (GRBL's $11, Marlin's M205 J) or Klipper's.
    std::optional<double> junctionDeviation; ///< units, at least 0
    std::optional<SquareCorner> squareCorner;
    /// What a stop at a rest costs before the next move starts (GRBL's $1; 0 when $1=255 keeps
    /// the motors on).
    std::optional<double> stepIdleDelay; ///< s
    std::optional<double> servoPeriod;   ///< s, from LinuxCNC's [EMCMOT] SERVO_PERIOD in ns
    std::optional<double> taskCycleTime; ///< s, LinuxCNC's [TASK] CYCLE_TIME
    std::optional<int> joints;           ///< LinuxCNC's [KINS] JOINTS, 1 to 9

    const AxisSettings& axis(Axis which) const { return axes[axisIndex(which)]; }
};

/// The longest machine file read; controllers' settings are far shorter.
inline constexpr std::size_t longestMachineFile = 1 << 20;

/// Reads a controller's settings, its kind told by the content alone: a GRBL `$$` report, a
/// LinuxCNC INI file, a Marlin `M503` report or a Klipper printer.cfg. Throws InputFailure
/// naming `file`, the line and the cause when it is none of them, when a line is longer than
/// LineReader::maxLength or holds a NUL byte, or when a value it reads is malformed, out of
/// range or given in a way that cannot be followed (an included file, a reference to another
/// value, a setting whose effect on the timing is not modelled).
MachineSettings readMachineSettings(std::istream& in, const std::string& file);

/// The same for the ordinary file at `path`, at most longestMachineFile bytes.
MachineSettings readMachineFile(const std::filesystem::path& path);

} // namespace chimex
