// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/command_options.h"
#include "machinefile/gcode_format.h"
#include "machinefile/gcode_writer.h"
#include "motion/move_timing.h"
#include "motion/timed_moves.h"

#include <istream>
#include <optional>

namespace chimex {

/// How the machine accelerates, from --accel and the options that go with it; lengths in the
/// settings' unit.
struct Acceleration {
    double xy = 0;                   ///< --accel, units/s²
    double z = 0;                    ///< --z-accel (default: --accel)
    double junctionDeviation = 0;    ///< --junction-deviation (GRBL and Marlin)
    double squareCornerVelocity = 0; ///< --square-corner-velocity (Klipper), units/s
    double stepIdleDelay = 0;        ///< --step-idle-delay: GRBL's $1, the cost of a stop at a rest
    double stepsPerUnit = 0;         ///< whole steps of X and Y (0: the G-code's own decimals)
    double zStepsPerUnit = 0;
};

/// The option names these take, for a command's table of options.
inline const std::vector<std::string> accelerationOptionNames = {
    "--accel", "--z-accel", "--junction-deviation", "--step-idle-delay",
    "--square-corner-velocity"};

/// --accel and its companions; nothing without --accel (the others are then refused). GRBL and
/// Marlin count whole steps, so they need `steps` (from --steps-per-unit); Klipper plans in
/// millimetres.
std::optional<Acceleration> accelerationOf(const Options& options, const GcodeFormat& format,
                                           std::optional<double> steps,
                                           std::optional<double> zSteps);

/// --accel and --z-accel for a command that replays a file as a machine that stops at the end of
/// every move; nothing without --accel (--z-accel is then refused).
std::optional<AxisAcceleration> restToRestAccelOf(const Options& options);

/// How a command that replays a file times its moves under --accel: as the planner of the G-code's
/// controller does (GRBL and Marlin blend them through their junctions, LinuxCNC's exact path
/// stops at the end of every move, in whole servo periods), or stopping at the end of every move
/// (part files); nothing without --accel. Under --accel, `file` is looked at for its dialect and
/// left where it was. --junction-deviation and --step-idle-delay are refused where they play no
/// part.
struct ReplayMotion {
    std::optional<AxisAcceleration> atRest;
    std::optional<Controller> blending;
};
ReplayMotion replayMotionOf(const Options& options, std::istream& file);

/// The controller the dialect's planner moves by.
Controller controllerFor(const Acceleration& accel, const GcodeFormat& format);

/// A file timed for Klipper sets the acceleration and square corner velocity it was timed with,
/// and no cruise ratio, then restores them with Klipper's default ratio; nothing for others.
void setTimedLimits(GcodeWriter& writer, const Controller& c);

} // namespace chimex
