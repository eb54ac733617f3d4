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
        if (name != "--accel" && options.values.count(name)) {
            throw UsageError(name + " goes with --accel");
        }
    }
}

/// Klipper's junctions come from its square corner velocity alone, the others' never do.
void refuseOtherCornerRules(const Options& options, const GcodeFormat& format) {
    const bool klipper = format.dialect == GcodeDialect::Klipper;
    if (klipper && (options.values.count("--junction-deviation") ||
                    options.values.count("--step-idle-delay"))) {
        throw UsageError("--junction-deviation and --step-idle-delay are for grbl and marlin; "
                         "Klipper derives its corners from --square-corner-velocity");
    }
    if (!klipper && options.values.count("--square-corner-velocity")) {
        throw UsageError("--square-corner-velocity is Klipper's; " +
                         std::string(dialectName(format.dialect)) + " has no such setting");
    }
}

} // namespace

std::optional<Acceleration> accelerationOf(const Options& options, const GcodeFormat& format,
                                           std::optional<double> steps,
                                           std::optional<double> zSteps) {
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
    if (linuxCnc && (options.values.count("--junction-deviation") ||
                     options.values.count("--step-idle-delay"))) {
        throw UsageError("--junction-deviation and --step-idle-delay are for grbl and marlin; "
                         "LinuxCNC stops exactly at each note's end");
    }
    if (format.dialect == GcodeDialect::Marlin && options.values.count("--step-idle-delay")) {
        throw UsageError("--step-idle-delay is GRBL's $1; Marlin has none");
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
    // Klipper plans in millimetres: its moves are the G-code's own decimals.
    accel.stepsPerUnit = linuxCnc ? gcodeResolution : klipper ? 0 : *steps;
    accel.zStepsPerUnit = linuxCnc ? gcodeResolution : klipper ? 0 : zSteps.value_or(*steps);
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
        const auto accel = accelerationOf(options, *format, fileSteps, std::nullopt);
        return accel ? ReplayMotion{std::nullopt, controllerFor(*accel, *format)} : ReplayMotion{};
    }
    if (options.values.count("--accel") && (options.values.count("--junction-deviation") ||
                                            options.values.count("--step-idle-delay"))) {
        throw UsageError("--junction-deviation and --step-idle-delay are for grbl and marlin "
                         "G-code; a part file's jogs stop at the end of each");
    }
    if (options.values.count("--accel") && options.values.count("--square-corner-velocity")) {
        throw UsageError("--square-corner-velocity is for klipper G-code; a part file's jogs "
                         "stop at the end of each");
    }
    return {restToRestAccelOf(options), std::nullopt};
}

Controller controllerFor(const Acceleration& accel, const GcodeFormat& format) {
    Controller c;
    c.accel = {accel.xy, accel.xy, accel.z};
    c.stepsPerUnit = {accel.stepsPerUnit, accel.stepsPerUnit, accel.zStepsPerUnit};
    c.corner = {accel.junctionDeviation, c.accel};
    c.positionDecimals = gcodeDecimals;
    c.feedAsWritten = speedAsWritten;
    switch (format.dialect) {
    case GcodeDialect::LinuxCnc:
        c.exactStop = true;
        c.period = linuxCncServoPeriod;
        c.stopDelay = linuxCncServoPeriod;
        break;
    case GcodeDialect::Grbl:
        c.stopDelay = accel.stepIdleDelay;
        c.lookAhead = grblLookAhead;
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

void setTimedLimits(GcodeWriter& writer, const Controller& c) {
    if (plansAsKlipper(c)) {
        const double scv = c.klipper.squareCornerVelocity;
        writer.setVelocityLimits({c.accel[0], scv, c.klipper.minimumCruiseRatio},
                                 {c.accel[0], scv, klipperDefaultCruiseRatio});
    }
}

} // namespace chimex
