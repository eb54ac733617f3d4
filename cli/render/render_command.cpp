// SPDX-License-Identifier: MIT
#include "render_command.h"

#include "cli/common/command_options.h"
#include "cli/common/motion_options.h"
#include "cli/common/scratch_file.h"
#include "cli/convert/gcode_convert.h"
#include "cli/convert/gcode_move_spool.h"
#include "cli/convert/timed_gcode_spool.h"
#include "cli/render/chord_gcode.h"
#include "cli/render/render.h"
#include "cli/score/score_source.h"
#include "core/note_planner.h"
#include "partfile/number_text.h"
#include "sound/key_pitch.h"

#include <cmath>

namespace chimex {
namespace {

MidiSelection midiSelection(const Options& options) {
    MidiSelection selection;
    selection.track = wholeNumber(options, "--track", 1, 65535);
    selection.channel = wholeNumber(options, "--channel", 1, 16);
    selection.transpose = wholeNumber(options, "--transpose", -127, 127).value_or(0);
    return selection;
}

void refuseMidiOptions(const Options& options, const std::string& name) {
    if (options.values.count("--track") || options.values.count("--channel") ||
        options.values.count("--transpose")) {
        throw UsageError("--track, --channel and --transpose apply to MIDI files; " + name +
                         " is a text score");
    }
}

/// Each axis's steps per unit for tuned feeds; nothing without them.
std::optional<StepsPerUnit> motorTuning(const Options& options) {
    // Beyond this the lowest key jogs under 0.001 units a second, and a note of a second moves
    // less than the part file's smallest step: the notes would round to no move at all.
    const double mostSteps = std::floor(keyFrequency(0) / 0.001);
    // Below this key 36's pitch, 1046.5 / N units a second, is beyond single precision, which
    // every speed must fit before it is moved down by octaves.
    constexpr double fewestSteps = 1e-35;
    return stepsPerUnitOf([&](const std::string& name) {
        const auto steps = positiveNumber(options, name, 1e9);
        if (steps && *steps < fewestSteps) {
            throw UsageError(namedOption(options, name) +
                             " is too few: key 36 would jog at a speed beyond any number (at "
                             "least " +
                             shortestText(fewestSteps) + ")");
        }
        if (steps && *steps > mostSteps) {
            throw UsageError(namedOption(options, name) +
                             " is too many: key 0 would jog under 0.001 units a second and its "
                             "notes would round to no move at all (at most " +
                             shortestText(mostSteps) + ")");
        }
        return steps;
    });
}

/// Renders into a spool of moves and writes its G-code, checked, at `out`.
template <typename Spool, typename Write>
RenderOutcome renderGcode(NoteSource& notes, const Options& options, const std::string& name,
                          const std::filesystem::path& out, Spool& moves, Console console,
                          const RenderProgress& progress, const std::optional<StepsPerUnit>& tuning,
                          Write write) {
    const RenderOutcome outcome = readingInput(name, [&] {
        return renderMoves(notes, settingsChoice(options), moves, console.err, progress, tuning);
    });
    writeCheckedGcode("the rendered part file", machineLimits(settingsChoice(options)), out, write);
    return outcome;
}

/// Each key's X and Y and Z speeds: tuned to its pitch, or the key speeds.
TunedSpeeds chordSpeeds(const Options& options, const std::optional<StepsPerUnit>& tuning) {
    ProgramState state;
    applySettings(state, settingsChoice(options));
    if (tuning) {
        return tunedSpeeds(*tuning, state.MaxXYSpeed, state.MaxZSpeed);
    }
    TunedSpeeds speeds;
    for (int key = 0; key < keyCount; ++key) {
        const NoteSpeeds note = keySpeeds(state, key);
        const auto i = static_cast<std::size_t>(key);
        speeds.speed[0][i] = speeds.speed[1][i] = note.xy;
        speeds.speed[2][i] = note.z;
    }
    return speeds;
}

void reportChords(const ChordScore& score, const ChordPlan& plan, long long moves,
                  const std::string& out, int voices, std::ostream& err) {
    if (plan.noRoom) {
        err << notEnoughRoomCaption << ": " << notEnoughRoomMessage << "\n";
    }
    err << out << ": " << plan.notesPlaced << " notes placed in " << moves << " moves"
        << (plan.noRoom ? "; stopped at the segment that found no room\n" : "\n");
    if (score.dropped > 0) {
        err << score.dropped << " notes left out where more than " << voices
            << " sound at once (the first: key " << score.firstDroppedKey << " at "
            << shortestText(score.firstDroppedTime) << " s)\n";
    }
    if (plan.notesLowered > 0) {
        err << plan.notesLowered
            << " notes moved down by octaves to fit their axis's fastest speed\n";
    }
}

/// Several voices at once, each segment of the score one G-code move of up to three axes.
ExitStatus runChords(const Options& options, Console console, std::istream& file,
                     const std::string& name, const std::filesystem::path& out,
                     const GcodeFormat& gcode, int voices) {
    const std::optional<StepsPerUnit> tuning = motorTuning(options);
    const MidiSelection selection = midiSelection(options);
    const OpenedChords chords =
        readingInput(name, [&] { return openChordScore(file, name, selection); });
    if (!chords.midi) {
        refuseMidiOptions(options, name);
    }
    readingInput(name, [&] { checkChordNotes(chords.notes); });
    const MachineLimits limits = machineLimits(settingsChoice(options));
    const ChordScore score = chordSegments(chords.notes, voices);
    ChordPlan plan = readingInput(name, [&] {
        return planChords(chords.notes, score, chordSpeeds(options, tuning), limits);
    });
    const std::optional<Acceleration> accel = accelerationOf(options, gcode, tuning);
    std::optional<TimedChords> timed;
    std::optional<Controller> controller;
    if (accel) {
        controller = controllerFor(*accel, gcode);
        timed = timeChords(plan, *controller, {limits.MaxX, limits.MaxY, limits.MaxZ});
        plan = timed->plan;
    }
    const long long moves =
        writeCheckedGcode("the rendered score", limits, out, [&](std::ostream& text) {
            if (timed) {
                refuseUselessAcceleration(timed->report, options);
            }
            return writeChordGcode(text, statingMachine(gcode, options, tuning, accel), plan,
                                   controller ? &*controller : nullptr);
        });
    reportChords(score, plan, moves, out.string(), voices, console.err);
    if (timed) {
        printTimingReport(timed->report, "move", console.err);
    }
    return plan.noRoom ? ExitStatus::NoRoom : ExitStatus::Done;
}

ExitStatus run(const Options& options, Console console) {
    const std::string name = onlyInput(options, "render", "SCORE");
    const std::filesystem::path out = requiredOutput(options, "render", name);
    const std::optional<GcodeFormat> gcode = outputFormat(options);
    const int voices = wholeNumber(options, "--voices", 1, 3).value_or(1);
    if (voices > 1 && !gcode) {
        throw UsageError("--voices " + std::to_string(voices) + " goes with --format gcode");
    }
    const std::optional<StepsPerUnit> tuning = motorTuning(options);
    std::ifstream file = openInput(name, "the score", Reading::Once);
    if (voices > 1) {
        return runChords(options, console, file, name, out, *gcode, voices);
    }
    const MidiSelection selection = midiSelection(options);
    const OpenedScore score = readingInput(name, [&] { return openScore(file, name, selection); });
    if (!score.midi) {
        refuseMidiOptions(options, name);
    }
    const auto& notes = score.notes;
    RenderProgress progress;
    if (console.errIsTerminal) {
        progress = [&console](long long placed) {
            console.err << "\r" << placed << " notes placed" << std::flush;
        };
    }
    RenderOutcome outcome;
    const std::optional<Acceleration> accel =
        gcode ? accelerationOf(options, *gcode, tuning) : std::nullopt;
    for (const std::string& option : accelerationOptionNames) {
        if (!gcode && userGave(options, option)) {
            throw UsageError(option + " goes with --format gcode");
        }
    }
    std::optional<TimingReport> timing;
    if (accel) {
        // The notes are kept whole, then each move's length is timed against the score.
        TimedGcodeSpool moves(controllerFor(*accel, *gcode), machineLimits(settingsChoice(options)),
                              2); // the part file's "PAUSE 2" after the move to 0, 0, 0
        outcome = renderGcode(
            *notes, options, name, out, moves, console, progress, tuning, [&](std::ostream& text) {
                timing = moves.writeGcode(text, statingMachine(*gcode, options, tuning, accel));
                refuseUselessAcceleration(*timing, options);
                return timing->notes;
            });
        if (timing->noRoom) {
            console.err << notEnoughRoomCaption << ": " << notEnoughRoomMessage << "\n";
            outcome.noRoom = true;
            outcome.notesPlaced = timing->played;
        }
    } else if (gcode) {
        // The planned moves are kept compactly, then written as G-code in one pass and checked.
        GcodeMoveSpool moves;
        outcome = renderGcode(
            *notes, options, name, out, moves, console, progress, tuning, [&](std::ostream& text) {
                return moves.writeGcode(text, statingMachine(*gcode, options, tuning, accel));
            });
    } else {
        outcome = readingInput(name, [&] {
            return renderPartFile(*notes, settingsChoice(options), out, console.err, progress,
                                  tuning);
        });
    }
    if (console.errIsTerminal && outcome.notesPlaced >= 65536) {
        console.err << "\r";
    }
    console.err << out.string() << ": " << outcome.notesPlaced << " notes placed"
                << (outcome.noRoom ? "; stopped at the note that found no room\n" : "\n");
    if (tuning) {
        console.err << outcome.notesLowered
                    << " notes moved down by octaves to fit their axis's fastest speed\n";
    }
    if (timing) {
        printTimingReport(*timing, "note", console.err);
    }
    return outcome.noRoom ? ExitStatus::NoRoom : ExitStatus::Done;
}

} // namespace

Command renderCommand() {
    return {
        "render",
        {"--output",
         "--settings",
         "--track",
         "--channel",
         "--transpose",
         "--format",
         "--dialect",
         "--unit",
         "--voices",
         "--steps-per-unit",
         "--z-steps-per-unit",
         "--accel",
         "--z-accel",
         "--junction-deviation",
         "--step-idle-delay",
         "--square-corner-velocity",
         "--servo-period",
         "--task-cycle",
         "--machine",
         "--x-steps-per-unit",
         "--y-steps-per-unit"},
        {"--pause"},
        R"(  chimex-cli render SCORE -o OUT [--machine FILE] [--settings FILE] [--pause]
                                 [--track N] [--channel N] [--transpose N]
                                 [--format part|gcode --dialect D --unit mm|in [--voices N]]
                                 [--steps-per-unit N [--z-steps-per-unit M]]
                                 [--accel A [--z-accel B] [--junction-deviation J]
                                  [--step-idle-delay S] [--square-corner-velocity V]
                                  [--servo-period P]]
)",
        R"(render  Plays SCORE through the same note capture and note planner as the desktop program (the
        random source in its fixed starting state) and writes the finished part file to OUT,
        whole or not at all. SCORE is a Standard MIDI File (format 0 or 1) or a text score with
        one note a line, "KEY HOLD [GAP]": KEY 0 to 36, HOLD the seconds the key is held, GAP the
        seconds of silence before the press (0 when left out); blank lines and # comments are
        ignored. MIDI is reduced to one voice: the highest sounding note wins, and notes outside
        C3 to C6 move by octaves into it. SCORE may be a pipe, or - for standard input.
        --settings FILE  settings file in the form of Chimex.ini (default: the desktop
                         program's Chimex.ini, see Files; without one INITIAL)
        --pause          write pause lines, as the settings dialog's check box does
        --machine FILE   the controller's own settings (GRBL's $$ report, LinuxCNC's INI file,
                         Marlin's M503 report), told apart by content: they give what the
                         options below would, and an option given overrides its value; the
                         machine's travel (max - min) and fastest speeds bound the settings'
                         limits (each the smaller); implies --format gcode timed by --accel
        --machine LINK   the same, read from a machine's link as for play (grbl:/dev/ttyUSB0, ...)
        --track N        MIDI: play only track N (from 1)
        --channel N      MIDI: play only channel N (1 to 16)
        --transpose N    MIDI: shift every note by N semitones first
        --format gcode   write G-code instead of a part file (see convert); needs --dialect
                         grbl, linuxcnc, marlin or klipper and --unit mm or in (Marlin and
                         Klipper: mm only)
        --voices N       G-code: play up to N notes at once (1 to 3, default 1), each on its
                         own axis; see Chords below
        --steps-per-unit N    tune each key's feed to its true pitch (C3 = 130.81 Hz) on motors
                         of N steps per length unit: speed = pitch / N, moved down by octaves
                         while faster than the axis's fastest speed (such notes are counted);
                         N from 1e-35 to 130812
        --x-steps-per-unit N, --y-steps-per-unit N  X's and Y's own, when their motors
                         differ (default: N); each note's speed is tuned to the axis it moves
        --z-steps-per-unit M  the same for Z (default: N)
        --accel A        G-code whose notes keep the score's time on a machine that accelerates
                         at A units/s² (see Timing under convert); GRBL and Marlin also need
                         --steps-per-unit, since they move in whole steps. An A that leaves no
                         note of the score a whole step through its ramps is refused
        --z-accel B      Z's acceleration (default: A)
        --junction-deviation J  GRBL's $11 or Marlin's junction deviation in units (default
                         0.010 mm for GRBL, 0.013 mm for Marlin)
        --step-idle-delay S  GRBL's $1 in seconds, which each stop at a rest costs (default
                         0.025; 0.255, its $1=255, keeps the motors on and costs nothing)
        --square-corner-velocity V  Klipper's square_corner_velocity in mm/s (default 5),
                         for its G-code
        --servo-period P  LinuxCNC's servo period in seconds (default 0.001)
        --task-cycle T   LinuxCNC's [TASK] CYCLE_TIME in seconds, which rests are timed by
        Chords: with --voices 2 or 3 the score is cut at every note start and end, and each
        stretch becomes one G1 whose axes each move at their own note's speed (the feed is
        the length of the vector of their speeds). Where more notes sound, the highest and the
        lowest are kept first, then the next highest; the notes left out are counted. A held
        note keeps its axis, and its direction while it has room; Z takes a note only when X
        and Y are taken, one under Z's fastest speed (else moved down by octaves). Rests are
        dwells. With --accel each stretch keeps the score's time as a note does. MIDI drums
        (channel 10) are left out unless --channel 10 names them; a text score is one voice.
)",
        {},
        run};
}

} // namespace chimex
