// SPDX-License-Identifier: MIT
#include "motion_options.h"

#include "machinefile/move_file_reader.h"
#include "motion/junction.h"

#include <cmath>

namespace chimex {
namespace {

/// Far beyond any machine, and small enough that squares of speeds stay finite.
constexpr double mostAccel = 1e9;

/// LinuxCNC's usual servo period: it finishes each move in the period after its exact end, and a
/// dwell costs one period more before the next move starts.
constexpr double linuxCncServoPeriod = 0.001;

/// A second: far slower than any servo thread.
constexpr double mostServoPeriod = 1;

/// LinuxCNC plans in continuous positions; the G-code's decimals are its resolution.
const double gcodeResolution = std::pow(10.0, gcodeDecimals);

/// GRBL's $1 default.
constexpr double grblStepIdleDelay = 0.025;

/// GRBL's $1=255, its largest, keeps the motors on: a stop costs no delay at all.
constexpr double grblMotorsKeptOn = 255 / 1000.0;

/// Klipper's square_corner_velocity default, mm/s.
constexpr double klipperSquareCornerVelocity = 5;

/// Marlin's planner buffer (BLOCK_BUFFER_SIZE); GRBL's holds 15 moves ahead.
constexpr std::size_t marlinLookAhead = 16;
constexpr std::size_t grblLookAhead = 15;

double inUnit(double millimetres, const GcodeFormat& format) {
    return format.unit == LengthUnit::Inch ? millimetres / 25.4 : millimetres;
}

void refuseCompanions(const Options& options) {
    for (const std::string& name : accelerationOptionNames) {
        if (name != "--accel" && userGave(options, name)) {
            throw UsageError(name + " goes with --accel");
        }
    }
}

/// Klipper's junctions come from its square corner velocity alone, the others' never do.
void refuseOtherCornerRules(const Options& options, const GcodeFormat& format) {
    const bool klipper = format.dialect == GcodeDialect::Klipper;
    if (klipper &&
        (userGave(options, "--junction-deviation") || userGave(options, "--step-idle-delay"))) {
        throw UsageError("--junction-deviation and --step-idle-delay are for grbl and marlin; "
                         "Klipper derives its corners from --square-corner-velocity");
    }
    if (!klipper && userGave(options, "--square-corner-velocity")) {
        throw UsageError("--square-corner-velocity is Klipper's; " +
                         std::string(dialectName(format.dialect)) + " has no such setting");
    }
}

} // namespace

std::optional<StepsPerUnit>
stepsPerUnitOf(const std::function<std::optional<double>(const std::string&)>& number) {
    const auto both = number("--steps-per-unit");
    auto x = number("--x-steps-per-unit");
    auto y = number("--y-steps-per-unit");
    auto z = number("--z-steps-per-unit");
    x = x ? x : both;
    y = y ? y : both;
    if (!x && !y) {
        if (z) {
            throw UsageError("--z-steps-per-unit goes with --steps-per-unit");
        }
        return std::nullopt;
    }
    if (!x || !y) {
        throw UsageError(std::string(x ? "--x" : "--y") + "-steps-per-unit needs " +
                         (x ? "--y" : "--x") + "-steps-per-unit (or --steps-per-unit for both)");
    }
    z = z ? z : both;
    if (!z && *x != *y) {
        throw UsageError("X and Y differ in steps per unit: give --z-steps-per-unit too");
    }
    return StepsPerUnit{*x, *y, z.value_or(*x)};
}

std::optional<StepsPerUnit> stepsPerUnitOf(const Options& options) {
    return stepsPerUnitOf(
        [&](const std::string& name) { return positiveNumber(options, name, 1e9); });
}

std::optional<Acceleration> accelerationOf(const Options& options, const GcodeFormat& format,
                                           const std::optional<StepsPerUnit>& steps) {
    const auto xy = positiveNumber(options, "--accel", mostAccel);
    if (!xy) {
        refuseCompanions(options);
        return std::nullopt;
    }
    const bool linuxCnc = format.dialect == GcodeDialect::LinuxCnc;
    const bool klipper = format.dialect == GcodeDialect::Klipper;
    refuseOtherCornerRules(options, format);
    if (!linuxCnc && !klipper && !steps) {
        throw UsageError("--accel for " + std::string(dialectName(format.dialect)) +
                         " needs --steps-per-unit: its moves are whole steps");
    }
    if (linuxCnc &&
        (userGave(options, "--junction-deviation") || userGave(options, "--step-idle-delay"))) {
        throw UsageError("--junction-deviation and --step-idle-delay are for grbl and marlin; "
                         "LinuxCNC stops exactly at each note's end");
    }
    if (format.dialect == GcodeDialect::Marlin && userGave(options, "--step-idle-delay")) {
        throw UsageError("--step-idle-delay is GRBL's $1; Marlin has none");
    }
    for (const char* name : {"--servo-period", "--task-cycle"}) {
        if (!linuxCnc && userGave(options, name)) {
            throw UsageError(std::string(name) + " is LinuxCNC's; " +
                             std::string(dialectName(format.dialect)) + " has none");
        }
    }
    Acceleration accel;
    accel.xy = *xy;
    accel.z = positiveNumber(options, "--z-accel", mostAccel).value_or(*xy);
    const double deviation =
        format.dialect == GcodeDialect::Marlin ? marlinJunctionDeviation : grblJunctionDeviation;
    accel.junctionDeviation =
        positiveNumber(options, "--junction-deviation", 1e6).value_or(inUnit(deviation, format));
    const double delay = format.dialect == GcodeDialect::Grbl
                             ? positiveNumber(options, "--step-idle-delay", grblMotorsKeptOn)
                                   .value_or(grblStepIdleDelay)
                             : 0;
    accel.stepIdleDelay = delay == grblMotorsKeptOn ? 0 : delay;
    accel.squareCornerVelocity = klipper ? positiveNumber(options, "--square-corner-velocity", 1e6)
                                               .value_or(klipperSquareCornerVelocity)
                                         : 0;
    accel.servoPeriod = linuxCnc ? positiveNumber(options, "--servo-period", mostServoPeriod)
                                       .value_or(linuxCncServoPeriod)
                                 : 0;
    accel.taskCycle =
        linuxCnc ? positiveNumber(options, "--task-cycle", mostServoPeriod).value_or(0) : 0;
    // LinuxCNC's moves are the G-code's own decimals; Klipper plans in millimetres.
    accel.steps = linuxCnc  ? StepsPerUnit{gcodeResolution, gcodeResolution, gcodeResolution}
                  : klipper ? StepsPerUnit{}
                            : *steps;
    return accel;
}

std::optional<AxisAcceleration> restToRestAccelOf(const Options& options) {
    const auto xy = positiveNumber(options, "--accel", mostAccel);
    if (!xy) {
        refuseCompanions(options);
        return std::nullopt;
    }
    return AxisAcceleration{*xy, positiveNumber(options, "--z-accel", mostAccel).value_or(*xy)};
}

ReplayMotion replayMotionOf(const Options& options, std::istream& file) {
    // The file's positions are whole steps already: the planner needs none of its own.
    constexpr double fileSteps = 0;
    const auto format =
        options.values.count("--accel") ? gcodeFormatOf(file) : std::optional<GcodeFormat>();
    if (format) { // LinuxCNC's exact path stops at every move's end, timed in its servo periods
        const auto accel =
            accelerationOf(options, *format, StepsPerUnit{fileSteps, fileSteps, fileSteps});
        return accel ? ReplayMotion{std::nullopt, controllerFor(*accel, *format)} : ReplayMotion{};
    }
    if (options.values.count("--accel") &&
        (userGave(options, "--junction-deviation") || userGave(options, "--step-idle-delay") ||
         userGave(options, "--servo-period") || userGave(options, "--task-cycle"))) {
        throw UsageError("--junction-deviation and --step-idle-delay are for grbl and marlin "
                         "G-code, --servo-period for LinuxCNC's; a part file's jogs stop at the "
                         "end of each");
    }
    if (options.values.count("--accel") && userGave(options, "--square-corner-velocity")) {
        throw UsageError("--square-corner-velocity is for klipper G-code; a part file's jogs "
                         "stop at the end of each");
    }
    return {restToRestAccelOf(options), std::nullopt};
}

Controller controllerFor(const Acceleration& accel, const GcodeFormat& format) {
    Controller c;
    c.accel = {accel.xy, accel.xy, accel.z};
    c.stepsPerUnit = accel.steps;
    c.corner = {accel.junctionDeviation, c.accel};
    c.positionDecimals = gcodeDecimals;
    c.feedAsWritten = speedAsWritten;
    switch (format.dialect) {
    case GcodeDialect::LinuxCnc:
        c.exactStop = true;
        c.period = accel.servoPeriod;
        c.stopDelay = accel.servoPeriod;
        c.taskCycle = accel.taskCycle;
        break;
    case GcodeDialect::Grbl:
        c.stopDelay = accel.stepIdleDelay;
        c.lookAhead = grblLookAhead;
        c.grblSteps = true;
        break;
    case GcodeDialect::Marlin:
        c.lookAhead = marlinLookAhead;
        break;
    case GcodeDialect::Klipper: // timed files set the cruise ratio to 0
        c.klipper = {accel.squareCornerVelocity, 0};
        break;
    }
    return c;
}

TimedFor timedForOf(const std::optional<Acceleration>& accel,
                    const std::optional<StepsPerUnit>& steps, GcodeDialect dialect) {
    TimedFor timed;
    timed.stepsPerUnit = steps;
    if (!accel) {
        return timed;
    }
    timed.accel = {accel->xy, accel->z};
    switch (dialect) {
    case GcodeDialect::LinuxCnc:
        timed.exactStop = {accel->servoPeriod, accel->taskCycle};
        break;
    case GcodeDialect::Klipper:
        timed.squareCornerVelocity = accel->squareCornerVelocity;
        break;
    case GcodeDialect::Grbl:
        timed.stopDelay = accel->stepIdleDelay;
        [[fallthrough]];
    case GcodeDialect::Marlin:
        timed.junctionDeviation = accel->junctionDeviation;
        break;
    }
    return timed;
}

GcodeFormat statingMachine(GcodeFormat format, const Options& options,
                           const std::optional<StepsPerUnit>& steps,
                           const std::optional<Acceleration>& accel) {
    if (options.values.count("--machine") != 0) {
        format.timedFor = timedForOf(accel, steps, format.dialect);
    }
    return format;
}

void setTimedLimits(GcodeWriter& writer, const Controller& c) {
    if (plansAsKlipper(c)) {
        const double scv = c.klipper.squareCornerVelocity;
        writer.setVelocityLimits({c.accel[0], scv, c.klipper.minimumCruiseRatio},
                                 {c.accel[0], scv, klipperDefaultCruiseRatio});
    }
}

} // namespace chimex
