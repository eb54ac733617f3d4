// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/command_options.h"
#include "machinefile/gcode_format.h"
#include "machinefile/gcode_writer.h"
#include "motion/move_timing.h"
#include "motion/timed_moves.h"

#include <functional>
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
    StepsPerUnit steps{};            ///< whole steps of each axis (0: the G-code's own decimals)
    double servoPeriod = 0;          ///< --servo-period: LinuxCNC's, s
    double taskCycle = 0; ///< --task-cycle: LinuxCNC's [TASK] CYCLE_TIME, s (0: not known)
};

/// The option names these take, for a command's table of options.
inline const std::vector<std::string> accelerationOptionNames = {
    "--accel",        "--z-accel",    "--junction-deviation",    "--step-idle-delay",
    "--servo-period", "--task-cycle", "--square-corner-velocity"};

/// Each axis's steps per unit: --x-, --y- and --z-steps-per-unit, each defaulting to
/// --steps-per-unit (Z also to X's where X and Y agree); nothing when none is given. `number`
/// reads one option (nothing when absent), refusing a value out of its range. Throws UsageError
/// for an axis left without a value.
std::optional<StepsPerUnit>
stepsPerUnitOf(const std::function<std::optional<double>(const std::string&)>& number);

/// stepsPerUnitOf with each value above 0 and at most 1e9.
std::optional<StepsPerUnit> stepsPerUnitOf(const Options& options);

/// --accel and its companions; nothing without --accel (the others are then refused). GRBL and
/// Marlin count whole steps, so they need `steps` (from the steps-per-unit options); Klipper plans
/// in millimetres.
std::optional<Acceleration> accelerationOf(const Options& options, const GcodeFormat& format,
                                           const std::optional<StepsPerUnit>& steps);

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

/// What a file of `dialect` tuned to `steps` and timed with `accel` states it was timed for: the
/// steps, and with `accel` the accelerations and the dialect's corner rule and stop delay.
TimedFor timedForOf(const std::optional<Acceleration>& accel,
                    const std::optional<StepsPerUnit>& steps, GcodeDialect dialect);

/// `format`, stating the machine it is timed for when the command line gives --machine; as it
/// stands otherwise, so that every other command line writes the same bytes.
GcodeFormat statingMachine(GcodeFormat format, const Options& options,
                           const std::optional<StepsPerUnit>& steps,
                           const std::optional<Acceleration>& accel);

/// A file timed for Klipper sets the acceleration and square corner velocity it was timed with,
/// and no cruise ratio, then restores them with Klipper's default ratio; nothing for others.
void setTimedLimits(GcodeWriter& writer, const Controller& c);

} // namespace chimex
