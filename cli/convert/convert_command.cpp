// SPDX-License-Identifier: MIT
#include "convert_command.h"

#include "cli/common/command_options.h"
#include "cli/common/motion_options.h"
#include "cli/convert/gcode_convert.h"
#include "core/note_planner.h"

namespace chimex {
namespace {

ExitStatus run(const Options& options, Console console) {
    const std::string name = onlyInput(options, "convert", "PART file");
    const std::filesystem::path out = requiredOutput(options, "convert", name);
    const auto steps = stepsPerUnitOf(options);
    const std::optional<Acceleration> accel = accelerationOf(options, gcodeFormat(options), steps);
    const GcodeFormat format = statingMachine(gcodeFormat(options), options, steps, accel);
    const bool typedSteps = userGave(options, "--steps-per-unit") ||
                            userGave(options, "--x-steps-per-unit") ||
                            userGave(options, "--y-steps-per-unit");
    if (typedSteps && !accel) {
        throw UsageError("--steps-per-unit goes with --accel");
    }
    openInput(name, "the part file", Reading::Twice); // refuses what cannot be read again
    const MachineLimits limits = machineLimits(settingsChoice(options));
    if (!accel) {
        const long long notes = convertPartFile(name, name, format, limits, out);
        console.err << out.string() << ": " << notes << " notes\n";
        return ExitStatus::Done;
    }
    const TimingReport report = convertTimedPartFile(
        name, name, format, limits, controllerFor(*accel, format), out,
        [&](const TimingReport& timing) { refuseUselessAcceleration(timing, options); });
    if (report.noRoom) {
        console.err << notEnoughRoomCaption << ": " << notEnoughRoomMessage << "\n";
    }
    console.err << out.string() << ": " << report.notes << " notes"
                << (report.noRoom ? "; stopped at the note that found no room\n" : "\n");
    printTimingReport(report, "note", console.err);
    if (report.noRoom) {
        return ExitStatus::NoRoom;
    }
    return ExitStatus::Done;
}

} // namespace

Command convertCommand() {
    return {
        "convert",
        {"--output", "--settings", "--dialect", "--unit", "--accel", "--z-accel",
         "--junction-deviation", "--step-idle-delay", "--square-corner-velocity",
         "--steps-per-unit", "--z-steps-per-unit", "--servo-period", "--task-cycle", "--machine",
         "--x-steps-per-unit", "--y-steps-per-unit"},
        {},
        R"(  chimex-cli convert PART -o OUT (--machine FILE | --dialect D --unit mm|in)
                                 [--settings FILE]
                                 [--accel A [--z-accel B] [--steps-per-unit N
                                  [--z-steps-per-unit M]] [--junction-deviation J]
                                  [--step-idle-delay S] [--square-corner-velocity V]
                                  [--servo-period P]]
)",
        R"(convert Writes the part file PART as G-code, move for move: the header comments state the
        extents and fastest feeds, an operator stop (M0; Klipper has none: the header says to home
        the printer and check the extents first) comes before the move to 0, 0, 0, then
        each jog is one G1 at its speed in units a minute and each pause a dwell (G4 P: seconds;
        for Marlin and Klipper milliseconds; a pause of 0 writes none, as a dwell stops the machine). The
        part file must pass check against the settings, and so must the G-code written;
        otherwise nothing is written.
        --dialect D      grbl, linuxcnc, marlin or klipper (mm only)
        --unit U         the machine's length unit: mm (G21) or in (G20)
        --settings FILE  the limits to check against (default: INITIAL)
        --machine FILE   the controller's own settings (GRBL's $$ report, LinuxCNC's INI file,
                         Marlin's M503 report), told apart by content: they give what the
                         options below would, and an option given overrides its value; the
                         machine's travel (max - min) and fastest speeds bound the settings'
                         limits (each the smaller)
        --machine LINK   the same, read from a machine's link as for play (grbl:/dev/ttyUSB0, ...)
        --accel A        Timing: the machine accelerates at A units/s² (Z at --z-accel B,
                         default A). Each note stays one G1, shortened so that its ramps and
                         cruise last the note and it starts on the tune's clock; pauses become
                         dwells to the millisecond only where there is a rest. Notes too short
                         to reach their pitch keep their time and are counted; notes too short
                         to move one whole step keep it as rests, counted too; the tune ends on
                         its time, with a closing dwell where whole steps miss it. LinuxCNC: exact
                         path (G61.1), 1 ms servo period. GRBL: its planner (junction deviation
                         $11, stop delay $1, 15 moves of look-ahead). Marlin: its junction
                         deviation, 16 moves of look-ahead. Klipper: its planner (junctions
                         from --square-corner-velocity, look-ahead by time, positions in mm, no
                         whole steps); the file sets ACCEL and SQUARE_CORNER_VELOCITY with
                         MINIMUM_CRUISE_RATIO=0 by SET_VELOCITY_LIMIT and sets them back at
                         its end, with Klipper's default ratio 0.5.
        --steps-per-unit N    with --accel for grbl and marlin (needed): motor steps per unit, as
                         the controller rounds each position to whole steps
        --x-steps-per-unit N, --y-steps-per-unit N  X's and Y's own (default: N)
        --z-steps-per-unit M  the same for Z (default: N)
        --junction-deviation J  GRBL's $11 or Marlin's junction deviation in units (default
                         0.010 mm for GRBL, 0.013 mm for Marlin)
        --step-idle-delay S  GRBL's $1 in seconds, which each stop at a rest costs (default
                         0.025; 0.255, its $1=255, keeps the motors on and costs nothing)
        --square-corner-velocity V  Klipper's square_corner_velocity in mm/s (default 5),
                         for its G-code
        --servo-period P  LinuxCNC's servo period in seconds (default 0.001)
        --task-cycle T   LinuxCNC's [TASK] CYCLE_TIME in seconds, which rests are timed by
)",
        {},
        run};
}

} // namespace chimex
