// SPDX-License-Identifier: MIT
#include "check_command.h"

#include "cli/check/check_output.h"
#include "cli/check/machine_compare.h"
#include "cli/check/part_check.h"
#include "cli/common/command_options.h"
#include "cli/common/machine_options.h"
#include "cli/common/motion_options.h"

namespace chimex {
namespace {

/// Each value the G-code states it was timed for that --machine's differs from is a violation; a
/// file that states none is only noted, as files rendered without --machine state none.
void compareMachine(const Options& options, CheckReport& report, CheckPrinter& printer,
                    std::ostream& err, const std::string& name) {
    const TimedFor& stated = report.gcode->timedFor;
    if (!stated.any()) {
        err << name
            << ": states no machine it was timed for (rendered without --machine); "
               "only its limits are checked against --machine\n";
        return;
    }
    const TimedFor machine = machineTimedFor(options, *report.gcode);
    for (const std::string& message : machineDifferences(
             stated, machine, report.gcode->unit, {report.fastestXYSpeed, report.fastestZSpeed})) {
        ++report.violationCount;
        printer.violation({0, message});
    }
}

ExitStatus run(const Options& typed, Console console) {
    const std::string name = onlyInput(typed, "check", "PART file");
    std::ifstream file = openInput(name, "the part file", Reading::Once);
    const CheckReport report = checkInput(typed, file, name, console.out, console.err);
    return report.clean() ? ExitStatus::Done : ExitStatus::Violations;
}

} // namespace

CheckReport checkInput(const Options& typed, std::istream& file, const std::string& name,
                       std::ostream& out, std::ostream& err) {
    const Options options = inFileUnit(typed, file, checkCommand());
    const MachineLimits limits = machineLimits(settingsChoice(options));
    const ReplayMotion motion = replayMotionOf(options, file);
    CheckPrinter printer(out, name, options.flags.count("--json") != 0);
    CheckReport report = readingInput(name, [&] {
        return checkMoveFile(
            file, limits, [&](const MoveIssue& v) { printer.violation(v); }, motion.atRest,
            motion.blending);
    });
    if (options.values.count("--machine") != 0 && report.gcode) {
        compareMachine(options, report, printer, err, name);
    }
    printer.finish(report, limits);
    return report;
}

Command checkCommand() {
    return {
        "check",
        {"--settings", "--accel", "--z-accel", "--junction-deviation", "--step-idle-delay",
         "--square-corner-velocity", "--servo-period", "--task-cycle", "--machine"},
        {"--json"},
        R"(  chimex-cli check PART [--machine FILE] [--settings FILE] [--json] [--accel A
                  [--z-accel B] [--junction-deviation J] [--step-idle-delay S]
                  [--square-corner-velocity V] [--servo-period P]]
)",
        R"(check   Replays the part file PART from 0, 0, 0 and reports notes, pauses, extents, fastest
        speeds and running time. Verifies that every line is well-formed, every coordinate lies
        strictly between 0 and its axis limit, no jog is faster than its axis's speed limit, the
        header states the extents and fastest speeds the jogs reach, and the file ends as
        written (footer; G-code: program end) so a file cut short is found. G-code must set its
        units and modes once, on the setup line before the first move (G21 or G20 with G90 G94;
        Marlin: G90; Klipper: G21 then G90, each alone). Violations are listed as they are found, the summary last.
        --settings FILE  the limits to check against (default: as for render)
        --json           the report as JSON
        --machine FILE   the controller's own settings (GRBL's $$ report, LinuxCNC's INI file,
                         Marlin's M503 report), told apart by content: they give what the
                         options below would, and an option given overrides its value; the
                         machine's travel (max - min) and fastest speeds bound the settings'
                         limits (each the smaller); implies --accel. Each value a G-code
                         file states it was timed for (steps, accelerations, corner rule,
                         stop delay) that the machine's differs from is a violation
        --machine LINK   the same, read from a machine's link as for play (grbl:/dev/ttyUSB0, ...)
        --accel A        the running time of a machine that speeds up and slows down at A
                         units/s² (above 0): stopping at the end of every move for a part
                         file or LinuxCNC G-code; for GRBL, Marlin or Klipper G-code,
                         blending through the junctions as their planners do (Klipper with
                         the cruise ratio 0 that its timed files set)
        --z-accel B      the same for Z (default: A)
        --junction-deviation J  GRBL's $11 or Marlin's junction deviation, for their G-code
                         (default 0.010 mm for GRBL, 0.013 mm for Marlin)
        --step-idle-delay S  GRBL's $1 in seconds, which each stop at a dwell costs (default
                         0.025; 0.255, its $1=255, keeps the motors on and costs nothing)
        --square-corner-velocity V  Klipper's square_corner_velocity in mm/s (default 5),
                         for its G-code
        --servo-period P  LinuxCNC's servo period in seconds, for its G-code (default 0.001)
        --task-cycle T   LinuxCNC's [TASK] CYCLE_TIME in seconds, for its G-code
)",
        R"(check, preview and listen also read the G-code that render and convert write, told apart from a
part file by its content.

)",
        run};
}

} // namespace chimex
