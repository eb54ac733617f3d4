// SPDX-License-Identifier: MIT
#include "listen_command.h"

#include "cli/common/command_options.h"
#include "cli/common/machine_options.h"
#include "cli/common/motion_options.h"
#include "cli/listen/listen_wave.h"
#include "files/atomic_output_file.h"
#include "partfile/number_text.h"

namespace chimex {
namespace {

ExitStatus run(const Options& typed, Console console) {
    const std::string name = onlyInput(typed, "listen", "PART file");
    const std::filesystem::path out = requiredOutput(typed, "listen", name);
    std::ifstream file = openInput(name, "the part file", Reading::Twice);
    const Options options = inFileUnit(typed, file, listenCommand());
    MotorSteps steps;
    const auto stepsPerUnit = stepsPerUnitOf(options);
    if (!stepsPerUnit) {
        throw UsageError("listen needs --steps-per-unit N");
    }
    steps.stepsPerUnit = *stepsPerUnit;
    const ReplayMotion motion = replayMotionOf(options, file);
    steps.accel = motion.atRest;
    steps.blending = motion.blending;
    AtomicOutputFile output(out);
    ListenOutcome outcome;
    try {
        outcome = listenToMoves(file, name, steps, output.stream(), console.err);
    } catch (const InputFailure&) {
        throw;
    } catch (const Failure& failure) {
        if (output.stream()) {
            throw;
        }
        throw Failure(out.string() + ": " + failure.what()); // the WAV writer knows no name
    }
    output.commit();
    console.err << out.string() << ": " << outcome.notes.text() << ", "
                << durationText(outcome.seconds) << "\n";
    return ExitStatus::Done;
}

} // namespace

Command listenCommand() {
    return {
        "listen",
        {"--output", "--steps-per-unit", "--z-steps-per-unit", "--accel", "--z-accel",
         "--junction-deviation", "--step-idle-delay", "--square-corner-velocity", "--servo-period",
         "--task-cycle", "--machine", "--x-steps-per-unit", "--y-steps-per-unit"},
        {},
        R"(  chimex-cli listen PART -o OUT.wav (--machine FILE | --steps-per-unit N)
                   [--x-steps-per-unit N] [--y-steps-per-unit N] [--z-steps-per-unit M]
                   [--accel A [--z-accel B] [--junction-deviation J] [--step-idle-delay S]
                    [--square-corner-velocity V] [--servo-period P]]
)",
        R"(listen  Writes what the motors will sound like as a WAV file (44.1 kHz, 16-bit, mono): a jog at
        speed v hums at v x N steps a second for its distance over v seconds, pauses (the
        2-second start pause too) are silent. Warns about step rates below 20 Hz or above
        20 kHz, which cannot be heard.
        --steps-per-unit N    motor steps per length unit of X and Y (a number above 0)
        --x-steps-per-unit N, --y-steps-per-unit N  X's and Y's own (default: N)
        --z-steps-per-unit M  the same for Z (default: N)
        --accel A             a machine that speeds up and slows down at A units/s², stopping
                              at the end of every move: each hum glides up from silence to its
                              pitch and back down, and lasts its ramps too (above 0). GRBL,
                              Marlin and Klipper G-code blend through the junctions as their planners do:
                              each hum glides from the speed the move is entered at to its
                              pitch and on to the speed it is left at
        --z-accel B           the same for Z (default: A)
        --junction-deviation J  as for check
        --step-idle-delay S   as for check
        --square-corner-velocity V  as for check
        --servo-period P      as for check
        --task-cycle T        as for check
        --machine FILE        as for render: the machine's steps per unit and timing, which
                              the options above override; implies --accel
        --machine LINK        as for render: the same, read from a machine's link
)",
        {},
        run};
}

} // namespace chimex
