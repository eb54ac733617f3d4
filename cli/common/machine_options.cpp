// SPDX-License-Identifier: MIT
#include "machine_options.h"

#include "cli/common/machine_connection.h"
#include "cli/common/motion_options.h"
#include "files/failure.h"
#include "machinefile/move_file_reader.h"
#include "partfile/number_text.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace chimex {
namespace {

constexpr float unbounded = std::numeric_limits<float>::infinity();

bool takes(const Command& command, const std::string& name) {
    return std::find(command.valued.begin(), command.valued.end(), name) != command.valued.end();
}

/// Millimetres (or inches) of the machine in the unit of the command line.
double unitFactor(LengthUnit machine, LengthUnit wanted) {
    if (machine == wanted) {
        return 1;
    }
    return wanted == LengthUnit::Inch ? 1 / 25.4 : 25.4;
}

std::optional<double> smaller(std::optional<double> a, std::optional<double> b) {
    if (a && b) {
        return std::min(*a, *b);
    }
    return a ? a : b;
}

std::optional<double> travelLength(const AxisSettings& axis) {
    if (axis.travelMax && axis.travelMin) {
        return *axis.travelMax - *axis.travelMin;
    }
    return axis.travelMax;
}

float bound(std::optional<double> value, double factor) {
    return value ? static_cast<float>(*value * factor) : unbounded;
}

/// The options being filled in: a value is set only where the command takes the option and the
/// command line left it out.
struct Filler {
    Options& options;
    const Command& command;

    bool open(const std::string& name) const {
        return takes(command, name) && options.values.count(name) == 0;
    }
    void set(const std::string& name, std::optional<double> value) {
        if (value && open(name)) {
            options.values[name] = shortestText(*value);
            options.implied.insert(name);
        }
    }
    void setText(const std::string& name, const std::string& text) {
        if (open(name)) {
            options.values[name] = text;
            options.implied.insert(name);
        }
    }
};

std::optional<LengthUnit> unitGiven(const Options& options) {
    const auto unit = options.values.find("--unit");
    if (unit == options.values.end() || (unit->second != "mm" && unit->second != "in")) {
        return std::nullopt;
    }
    return unit->second == "in" ? LengthUnit::Inch : LengthUnit::Millimetre;
}

std::optional<double> scaled(std::optional<double> value, double factor) {
    return value ? std::optional(*value * factor) : std::nullopt;
}

void fillSteps(Filler& fill, const MachineSettings& machine, double factor) {
    const bool both = fill.options.values.count("--steps-per-unit") != 0;
    // Steps per unit grow as the unit does.
    const auto steps = [&](Axis axis) {
        return scaled(machine.axis(axis).stepsPerUnit, factor);
    };
    // X and Y go together: a machine that gives one only leaves both to the command line.
    if (!both && steps(Axis::X) && steps(Axis::Y)) {
        fill.set("--x-steps-per-unit", steps(Axis::X));
        fill.set("--y-steps-per-unit", steps(Axis::Y));
    }
    fill.set("--z-steps-per-unit", steps(Axis::Z));
}

void fillTiming(Filler& fill, const MachineSettings& machine, GcodeDialect dialect, double factor) {
    const auto accel = [&](Axis axis) {
        return machine.axis(axis).accel;
    };
    const auto xy = smaller(accel(Axis::X), accel(Axis::Y));
    if (fill.options.values.count("--accel") == 0) {
        fill.set("--accel", scaled(xy, factor));
    }
    fill.set("--z-accel", scaled(accel(Axis::Z), factor));
    if (dialect == GcodeDialect::Klipper && machine.squareCorner) {
        fill.set("--square-corner-velocity", scaled(machine.squareCorner->velocity, factor));
    }
    if (dialect != GcodeDialect::LinuxCnc && dialect != GcodeDialect::Klipper) {
        if (machine.junctionDeviation && !(*machine.junctionDeviation > 0)) {
            throw UsageError("--machine " + fill.options.values.at("--machine") +
                             ": a junction deviation of 0 stops at every corner, which is not "
                             "modelled; give --junction-deviation");
        }
        fill.set("--junction-deviation", scaled(machine.junctionDeviation, factor));
    }
    if (dialect == GcodeDialect::Grbl && machine.stepIdleDelay) {
        // 0.255 is GRBL's $1=255: the motors stay on and a stop costs nothing.
        fill.set("--step-idle-delay", *machine.stepIdleDelay > 0 ? *machine.stepIdleDelay : 0.255);
    }
    if (dialect == GcodeDialect::LinuxCnc) {
        fill.set("--servo-period", machine.servoPeriod);
        fill.set("--task-cycle", machine.taskCycleTime);
    }
}

/// The dialect the G-code is written in: the command line's, else the machine's.
GcodeDialect effectiveDialect(const Options& options, const MachineSettings& machine) {
    const auto given = options.values.find("--dialect");
    if (given != options.values.end()) {
        if (const auto named = dialectNamed(given->second)) {
            return *named;
        }
    }
    return machine.controller;
}

/// The dialect as --dialect names it: its name in lower case ("grbl", "linuxcnc").
std::string dialectOption(GcodeDialect dialect) {
    std::string named(dialectName(dialect));
    std::transform(named.begin(), named.end(), named.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return named;
}

bool writesPartFile(const Options& options, const Command& command) {
    const auto format = options.values.find("--format");
    return takes(command, "--format") && format != options.values.end() &&
           format->second != "gcode";
}

} // namespace

MachineLimits machineBound(const MachineSettings& machine, double lengthFactor) {
    const auto speed = [&](Axis axis) {
        return machine.axis(axis).fastestSpeed;
    };
    MachineLimits limits;
    limits.MaxX = bound(travelLength(machine.axis(Axis::X)), lengthFactor);
    limits.MaxY = bound(travelLength(machine.axis(Axis::Y)), lengthFactor);
    limits.MaxZ = bound(travelLength(machine.axis(Axis::Z)), lengthFactor);
    limits.MaxXYSpeed = bound(smaller(speed(Axis::X), speed(Axis::Y)), lengthFactor);
    limits.MaxZSpeed = bound(speed(Axis::Z), lengthFactor);
    return limits;
}

Options withMachine(Options options, const MachineSettings& machine, const Command& command) {
    const std::string file = options.values.at("--machine");
    const GcodeDialect dialect = effectiveDialect(options, machine);
    const LengthUnit machineUnit = machine.unit.value_or(LengthUnit::Millimetre);
    const LengthUnit unit = unitGiven(options).value_or(machineUnit);
    const double factor = unitFactor(machineUnit, unit);
    Filler fill{options, command};
    options.machine = machine;
    options.machineBound = machineBound(machine, factor);
    fillSteps(fill, machine, 1 / factor);
    if (writesPartFile(options, command)) {
        return options;
    }
    fill.setText("--format", "gcode");
    fill.setText("--dialect", dialectOption(dialect));
    fill.setText("--unit", unit == LengthUnit::Inch ? "in" : "mm");
    fillTiming(fill, machine, dialect, factor);
    return options;
}

TimedFor machineTimedFor(const Options& options, const GcodeFormat& file) {
    static const Command takesTiming = [] {
        Command command{"check", {"--x-steps-per-unit", "--y-steps-per-unit", "--z-steps-per-unit"},
                        {},      "",
                        "",      "",
                        nullptr};
        command.valued.insert(command.valued.end(), accelerationOptionNames.begin(),
                              accelerationOptionNames.end());
        return command;
    }();
    Options machine;
    machine.values["--machine"] = options.values.at("--machine");
    machine.values["--dialect"] = dialectOption(file.dialect);
    machine.values["--unit"] = file.unit == LengthUnit::Inch ? "in" : "mm";
    for (const std::string& name : accelerationOptionNames) {
        if (userGave(options, name)) {
            machine.values[name] = options.values.at(name);
        }
    }
    machine = withMachine(std::move(machine), *options.machine, takesTiming);
    const auto steps = stepsPerUnitOf(machine);
    const auto accel = accelerationOf(machine, file, steps.value_or(StepsPerUnit{}));
    return timedForOf(accel, steps, file.dialect);
}

Options withMachineFile(Options options, const Command& command, MachineLinks* links) {
    const auto file = options.values.find("--machine");
    if (file == options.values.end() || command.opensMachine) {
        return options;
    }
    const MachineSettings machine =
        namesLink(file->second)
            ? connectMachine({file->second, options.machineFile, false, {}}, links).settings
            : readMachineFile(file->second);
    return withMachine(std::move(options), machine, command);
}

Options inFileUnit(const Options& options, std::istream& file, const Command& command) {
    if (!options.machine || takes(command, "--unit")) {
        return options;
    }
    const std::optional<GcodeFormat> format = gcodeFormatOf(file);
    if (!format) {
        return options; // a part file has no unit of its own
    }
    Options typed = options;
    for (const std::string& name : options.implied) {
        typed.values.erase(name);
    }
    typed.implied.clear();
    typed.machineBound.reset();
    typed.values["--unit"] = format->unit == LengthUnit::Inch ? "in" : "mm";
    Options result = withMachine(std::move(typed), *options.machine, command);
    result.values.erase("--unit");
    return result;
}

} // namespace chimex
