// SPDX-License-Identifier: MIT
#include "command_line.h"

#include "cli/check/check_output.h"
#include "cli/check/part_check.h"
#include "cli/common/scratch_file.h"
#include "cli/common/settings_choice.h"
#include "cli/convert/gcode_convert.h"
#include "cli/finish/finish_journal.h"
#include "cli/listen/listen_wave.h"
#include "cli/preview/preview_layout.h"
#include "cli/preview/preview_svg.h"
#include "cli/render/render.h"
#include "cli/score/midi_voice.h"
#include "cli/score/text_score_reader.h"
#include "core/program_state.h"
#include "partfile/atomic_output_file.h"
#include "partfile/number_text.h"
#include "platform/failure.h"
#include "platform/program_folders.h"
#include "settings/settings_view.h"
#include "sound/key_pitch.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <sstream>

namespace chimex {
namespace {

/// A command-line mistake; its message is shown with a pointer to --help.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct Options {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values; ///< options with a value, by long name
    std::map<std::string, bool> flags;
};

Options parseOptions(const std::vector<std::string>& args, const std::vector<std::string>& valued,
                     const std::vector<std::string>& flags) {
    Options options;
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string name = args[i] == "-o" ? "--output" : args[i];
        if (std::find(valued.begin(), valued.end(), name) != valued.end()) {
            if (i + 1 == args.size()) {
                throw UsageError(args[i] + " needs a value");
            }
            options.values[name] = args[++i];
        } else if (std::find(flags.begin(), flags.end(), name) != flags.end()) {
            options.flags[name] = true;
        } else if (name.size() > 1 && name[0] == '-') {
            throw UsageError("unknown option " + args[i]);
        } else {
            options.positional.push_back(args[i]);
        }
    }
    return options;
}

std::optional<int> wholeNumber(const Options& options, const std::string& name, int low, int high) {
    const auto found = options.values.find(name);
    if (found == options.values.end()) {
        return std::nullopt;
    }
    const std::string& text = found->second;
    int value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || value < low ||
        value > high) {
        throw UsageError(name + " takes a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not \"" + text + "\"");
    }
    return value;
}

/// A number above 0 and at most `high`, or nothing when the option is not given.
std::optional<double> positiveNumber(const Options& options, const std::string& name, double high) {
    const auto found = options.values.find(name);
    if (found == options.values.end()) {
        return std::nullopt;
    }
    const std::string& text = found->second;
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || !(value > 0) ||
        !(value <= high)) {
        throw UsageError(name + " takes a number above 0 and at most " + shortestText(high) +
                         ", not \"" + text + "\"");
    }
    return value;
}

std::optional<std::filesystem::path> optionalPath(const Options& options, const std::string& name) {
    const auto found = options.values.find(name);
    if (found == options.values.end()) {
        return std::nullopt;
    }
    return std::filesystem::path(found->second);
}

/// A text score held in memory, for a file that had to be read whole to tell what it is.
class TextScoreInMemory : public NoteSource {
  public:
    explicit TextScoreInMemory(std::string text) : text_(std::move(text)), reader_(text_) {}
    std::optional<ScoreNote> next() override { return reader_.next(); }

  private:
    std::istringstream text_;
    TextScoreReader reader_;
};

/// A note source whose first note is read at once, so that an empty one is known before playing.
class PeekedNotes : public NoteSource {
  public:
    explicit PeekedNotes(std::unique_ptr<NoteSource> notes)
        : notes_(std::move(notes)), first_(notes_->next()) {}
    bool empty() const { return !first_; }
    std::optional<ScoreNote> next() override {
        if (!peeked_) {
            return notes_->next();
        }
        peeked_ = false;
        return first_;
    }

  private:
    std::unique_ptr<NoteSource> notes_;
    std::optional<ScoreNote> first_;
    bool peeked_ = true;
};

bool hasMidiExtension(const std::string& name) {
    std::string extension = std::filesystem::path(name).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".mid" || extension == ".midi";
}

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

/// A MIDI file of 8 million notes takes 24 MB; an input far beyond that is no score but an
/// endless stream, and is refused before it fills the memory.
constexpr std::size_t largestScore = std::size_t{256} << 20;

/// The rest of the input, at most largestScore bytes; the memory is taken in one piece when the
/// size is known, so that it holds the input once.
std::vector<std::uint8_t> wholeInput(std::ifstream& file, const std::string& name) {
    std::vector<std::uint8_t> bytes;
    try {
        const auto start = file.tellg();
        file.seekg(0, std::ios::end);
        const auto end = file.tellg();
        file.seekg(start);
        if (start >= 0 && end > start) {
            bytes.reserve(std::min(static_cast<std::size_t>(end - start), largestScore + 1));
        }
        file.clear();
        std::vector<char> chunk(64 * 1024);
        do {
            file.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + file.gcount());
            if (bytes.size() > largestScore) {
                throw InputFailure(name, 0, "larger than 256 MB, far larger than any score");
            }
        } while (file);
    } catch (const std::bad_alloc&) {
        throw InputFailure(name, 0, "does not fit in the memory this program may use");
    }
    if (file.bad()) {
        throw InputFailure(name, 0, "cannot be read: " + systemReason());
    }
    return bytes;
}

/// Tells a MIDI file from a text score without going back in the file, so that a score can come
/// from a pipe: a text score never begins with "M", and a MIDI file is read whole anyway.
std::unique_ptr<NoteSource> openScore(std::ifstream& file, const std::string& name,
                                      const Options& options) {
    const MidiSelection selection = midiSelection(options);
    const bool midiName = hasMidiExtension(name);
    if (!midiName && file.peek() != 'M') {
        refuseMidiOptions(options, name);
        return std::make_unique<TextScoreReader>(file);
    }
    std::vector<std::uint8_t> bytes = wholeInput(file, name);
    if (!looksLikeMidi(bytes)) {
        if (midiName) {
            throw InputFailure(name, 0, "not a MIDI file (it does not begin with \"MThd\")");
        }
        refuseMidiOptions(options, name);
        return std::make_unique<TextScoreInMemory>(std::string(bytes.begin(), bytes.end()));
    }
    if (!selection.track && !selection.channel) {
        return std::make_unique<MidiScore>(std::move(bytes), selection);
    }
    auto notes =
        std::make_unique<PeekedNotes>(std::make_unique<MidiScore>(std::move(bytes), selection));
    if (notes->empty()) {
        throw InputFailure(name, 0, "no notes in the chosen --track and --channel");
    }
    return notes;
}

SettingsChoice settingsChoice(const Options& options) {
    SettingsChoice choice;
    choice.file = optionalPath(options, "--settings");
    if (!choice.file) {
        choice.file = desktopSettingsFile();
    }
    choice.pause = options.flags.count("--pause") != 0;
    return choice;
}

/// How an input is read: once from start to end (a pipe will do), or twice (an ordinary file).
enum class Reading { Once, Twice };

/// Opens the input file; `what` names it in the message ("the score", "the part file"). "-" is
/// standard input.
std::ifstream openInput(const std::string& name, const std::string& what, Reading reading) {
    const std::filesystem::path path = name == "-" ? "/dev/stdin" : name;
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (std::filesystem::is_directory(status)) {
        throw InputFailure(name, 0, "cannot read " + what + ": it is a folder");
    }
    if (reading == Reading::Twice && std::filesystem::exists(status) &&
        !std::filesystem::is_regular_file(status)) {
        throw InputFailure(name, 0,
                           "cannot read " + what +
                               ": it is read a second time, so it must be an ordinary file, not "
                               "a pipe or device");
    }
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open()) {
        throw InputFailure(name, 0, "cannot open " + what + ": " + systemReason());
    }
    return file;
}

/// Refuses an output that is one of the inputs (the same file by any path or link): writing it
/// would destroy the input. Devices and pipes are exempt, as /dev/stdin and /dev/stdout may be
/// the same terminal.
void refuseOutputIsInput(const std::filesystem::path& out,
                         const std::vector<std::filesystem::path>& inputs) {
    for (const auto& input : inputs) {
        std::error_code error;
        if (std::filesystem::is_regular_file(input, error) &&
            std::filesystem::equivalent(input, out, error)) {
            throw UsageError("the output " + out.string() + " is the input " + input.string() +
                             "; name another file");
        }
    }
}

/// The command's one input file (`input` names it in messages: "SCORE", "PART file").
std::string onlyInput(const Options& options, const std::string& command,
                      const std::string& input) {
    if (options.positional.size() != 1) {
        throw UsageError(command + " takes one " + input);
    }
    return options.positional.front();
}

/// The -o OUT that render, preview and listen need; never the input `name` nor the settings file.
std::filesystem::path requiredOutput(const Options& options, const std::string& command,
                                     const std::string& name) {
    auto out = optionalPath(options, "--output");
    if (!out) {
        throw UsageError(command + " needs -o OUT");
    }
    if (out->empty()) {
        throw UsageError("-o needs a file name (or - for standard output), not an empty one");
    }
    if (*out == "-") {
        out = "/dev/stdout"; // written directly, as a device is
    }
    std::vector<std::filesystem::path> inputs = {name == "-" ? "/dev/stdin" : name};
    if (const auto settings = optionalPath(options, "--settings")) {
        inputs.push_back(*settings);
    }
    refuseOutputIsInput(*out, inputs);
    return *out;
}

/// Runs `work` on the input file `name`, naming it in the input failures that name no file.
template <typename Work> auto readingInput(const std::string& name, Work work) {
    try {
        return work();
    } catch (const InputFailure& failure) {
        throw failure.inFile(name);
    }
}

/// --dialect and --unit, both needed to write G-code.
GcodeFormat gcodeFormat(const Options& options) {
    const auto dialect = options.values.find("--dialect");
    const auto unit = options.values.find("--unit");
    if (dialect == options.values.end() || unit == options.values.end()) {
        throw UsageError("G-code needs --dialect grbl|linuxcnc|marlin and --unit mm|in");
    }
    GcodeFormat format;
    const auto named = dialectNamed(dialect->second);
    if (!named) {
        throw UsageError("--dialect takes grbl, linuxcnc or marlin, not \"" + dialect->second +
                         "\"");
    }
    format.dialect = *named;
    if (unit->second != "mm" && unit->second != "in") {
        throw UsageError("--unit takes mm or in, not \"" + unit->second + "\"");
    }
    format.unit = unit->second == "in" ? LengthUnit::Inch : LengthUnit::Millimetre;
    if (format.dialect == GcodeDialect::Marlin && format.unit == LengthUnit::Inch) {
        throw UsageError(
            "Marlin works in millimetres: settings in inches cannot be written for it");
    }
    return format;
}

/// --format gcode with its --dialect and --unit, or nothing for a part file.
std::optional<GcodeFormat> outputFormat(const Options& options) {
    const auto format = options.values.find("--format");
    const bool gcode = format != options.values.end() && format->second == "gcode";
    if (format != options.values.end() && !gcode && format->second != "part") {
        throw UsageError("--format takes part or gcode, not \"" + format->second + "\"");
    }
    if (!gcode) {
        if (options.values.count("--dialect") || options.values.count("--unit")) {
            throw UsageError("--dialect and --unit go with --format gcode");
        }
        return std::nullopt;
    }
    return gcodeFormat(options);
}

/// --steps-per-unit N and --z-steps-per-unit M for tuned feeds; nothing without them.
std::optional<MotorTuning> motorTuning(const Options& options) {
    // Beyond this the lowest key jogs under 0.001 units a second, and a note of a second moves
    // less than the part file's smallest step: the notes would round to no move at all.
    const double mostSteps = std::floor(keyFrequency(0) / 0.001);
    const auto stepsOption = [&](const std::string& name) {
        const auto steps = positiveNumber(options, name, 1e9);
        if (steps && *steps > mostSteps) {
            throw UsageError(name + " " + options.values.at(name) +
                             " is too many: key 0 would jog under 0.001 units a second and its "
                             "notes would round to no move at all (at most " +
                             shortestText(mostSteps) + ")");
        }
        return steps;
    };
    const auto steps = stepsOption("--steps-per-unit");
    const auto zSteps = stepsOption("--z-steps-per-unit");
    if (!steps) {
        if (zSteps) {
            throw UsageError("--z-steps-per-unit goes with --steps-per-unit");
        }
        return std::nullopt;
    }
    return MotorTuning{*steps, zSteps.value_or(*steps)};
}

ExitStatus runRender(const std::vector<std::string>& args, Console console) {
    const Options options =
        parseOptions(args,
                     {"--output", "--settings", "--track", "--channel", "--transpose", "--format",
                      "--dialect", "--unit", "--steps-per-unit", "--z-steps-per-unit"},
                     {"--pause"});
    const std::string name = onlyInput(options, "render", "SCORE");
    const std::filesystem::path out = requiredOutput(options, "render", name);
    const std::optional<GcodeFormat> gcode = outputFormat(options);
    const std::optional<MotorTuning> tuning = motorTuning(options);
    std::ifstream file = openInput(name, "the score", Reading::Once);
    const auto notes = readingInput(name, [&] { return openScore(file, name, options); });
    RenderProgress progress;
    if (console.errIsTerminal) {
        progress = [&console](long long placed) {
            console.err << "\r" << placed << " notes placed" << std::flush;
        };
    }
    RenderOutcome outcome;
    if (gcode) {
        // G-code is converted from the part file, which waits in a file without a name meanwhile.
        ScratchFile part(std::size_t{1} << 16);
        std::ostream partOut(&part);
        outcome = readingInput(name, [&] {
            return renderPart(*notes, settingsChoice(options), partOut, console.err, progress,
                              tuning);
        });
        part.rewind();
        std::istream partIn(&part);
        convertPart(partIn, "the rendered part file", *gcode,
                    machineLimits(settingsChoice(options)), out);
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
    return outcome.noRoom ? ExitStatus::NoRoom : ExitStatus::Done;
}

ExitStatus runCheck(const std::vector<std::string>& args, Console console) {
    const Options options = parseOptions(args, {"--settings"}, {"--json"});
    const std::string name = onlyInput(options, "check", "PART file");
    const MachineLimits limits = machineLimits(settingsChoice(options));
    std::ifstream file = openInput(name, "the part file", Reading::Once);
    CheckPrinter printer(console.out, name, options.flags.count("--json") != 0);
    const CheckReport report = readingInput(name, [&] {
        return checkMoveFile(file, limits, [&](const MoveIssue& v) { printer.violation(v); });
    });
    printer.finish(report, limits);
    return report.clean() ? ExitStatus::Done : ExitStatus::Violations;
}

ExitStatus runConvert(const std::vector<std::string>& args, Console console) {
    const Options options =
        parseOptions(args, {"--output", "--settings", "--dialect", "--unit"}, {});
    const std::string name = onlyInput(options, "convert", "PART file");
    const std::filesystem::path out = requiredOutput(options, "convert", name);
    const GcodeFormat format = gcodeFormat(options);
    openInput(name, "the part file", Reading::Twice); // refuses what cannot be read again
    const long long notes =
        convertPartFile(name, name, format, machineLimits(settingsChoice(options)), out);
    console.err << out.string() << ": " << notes << " notes\n";
    return ExitStatus::Done;
}

ExitStatus runPreview(const std::vector<std::string>& args, Console console) {
    const Options options = parseOptions(args, {"--output", "--settings", "--unit"}, {});
    const std::string name = onlyInput(options, "preview", "PART file");
    const std::filesystem::path out = requiredOutput(options, "preview", name);
    PreviewOptions preview;
    preview.limits = machineLimits(settingsChoice(options));
    if (options.values.count("--unit")) {
        preview.unit = options.values.at("--unit");
    }
    std::ifstream file = openInput(name, "the part file", Reading::Twice);
    AtomicOutputFile output(out);
    const PreviewSummary summary = writePreview(file, name, preview, output.stream(), console.err);
    output.commit();
    console.err << out.string() << ": " << summary.notes << " notes, running time "
                << durationText(summary.seconds) << "\n";
    return ExitStatus::Done;
}

ExitStatus runListen(const std::vector<std::string>& args, Console console) {
    const Options options =
        parseOptions(args, {"--output", "--steps-per-unit", "--z-steps-per-unit"}, {});
    const std::string name = onlyInput(options, "listen", "PART file");
    const std::filesystem::path out = requiredOutput(options, "listen", name);
    MotorSteps steps;
    const auto stepsPerUnit = positiveNumber(options, "--steps-per-unit", 1e9);
    if (!stepsPerUnit) {
        throw UsageError("listen needs --steps-per-unit N");
    }
    steps.stepsPerUnit = *stepsPerUnit;
    steps.zStepsPerUnit =
        positiveNumber(options, "--z-steps-per-unit", 1e9).value_or(steps.stepsPerUnit);
    std::ifstream file = openInput(name, "the part file", Reading::Twice);
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
    console.err << out.string() << ": " << outcome.notes << " notes, "
                << durationText(outcome.seconds) << "\n";
    return ExitStatus::Done;
}

ExitStatus runFinish(const std::vector<std::string>& args, Console console) {
    const Options options = parseOptions(args, {"--output", "--settings"}, {});
    const std::string name = onlyInput(options, "finish", "JOURNAL");
    const std::filesystem::path out = requiredOutput(options, "finish", name);
    const MachineLimits limits = machineLimits(settingsChoice(options));
    std::ifstream file = openInput(name, "the journal", Reading::Twice);
    AtomicOutputFile output(out);
    const auto dropped = [&] {
        try {
            return readingInput(name,
                                [&] { return finishJournal(file, name, limits, output.stream()); });
        } catch (const InputFailure&) {
            throw;
        } catch (const Failure& failure) {
            if (output.stream()) {
                throw;
            }
            throw Failure(out.string() + ": " + failure.what()); // the writer knows no name
        }
    }();
    output.commit();
    if (dropped) {
        console.err << name << ": line " << dropped->line << " has no line end, so it may be cut "
                    << "short; left out: \"" << dropped->text << "\"\n";
    }
    console.err << out.string() << ": finished from the journal " << name << "\n";
    return ExitStatus::Done;
}

ExitStatus dispatch(const std::vector<std::string>& args, Console console) {
    if (args.empty()) {
        throw UsageError("no command given");
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        console.out << helpText();
        console.err << "\n" << foldersInUse(findProgramFolders(executableFolder(), userFolders()));
        return ExitStatus::Done;
    }
    if (std::find_if(args.begin() + 1, args.end(), [](const std::string& a) {
            return a == "--help" || a == "-h";
        }) != args.end()) {
        console.out << helpText();
        return ExitStatus::Done;
    }
    if (args[0] == "--version") {
        console.out << "chimex-cli (" << programName << ") " << programVersion << "\n";
        return ExitStatus::Done;
    }
    if (args[0] == "render") {
        return runRender(args, console);
    }
    if (args[0] == "convert") {
        return runConvert(args, console);
    }
    if (args[0] == "check") {
        return runCheck(args, console);
    }
    if (args[0] == "preview") {
        return runPreview(args, console);
    }
    if (args[0] == "finish") {
        return runFinish(args, console);
    }
    if (args[0] == "listen") {
        return runListen(args, console);
    }
    throw UsageError("unknown command " + args[0]);
}

/// The help with INITIAL standing for the settings dialog's initial values.
constexpr std::string_view helpTemplate = R"(Usage:
  chimex-cli render SCORE -o OUT [--settings FILE] [--pause]
                                 [--track N] [--channel N] [--transpose N]
                                 [--format part|gcode --dialect D --unit mm|in]
                                 [--steps-per-unit N [--z-steps-per-unit M]]
  chimex-cli convert PART -o OUT --dialect D --unit mm|in [--settings FILE]
  chimex-cli check PART [--settings FILE] [--json]
  chimex-cli preview PART -o OUT.svg [--settings FILE] [--unit NAME]
  chimex-cli listen PART -o OUT.wav --steps-per-unit N [--z-steps-per-unit M]
  chimex-cli finish JOURNAL -o PART [--settings FILE]
  chimex-cli --help
  chimex-cli --version

OUT may be - for standard output, as an input may be - for standard input. A line longer
than 4096 characters or a NUL byte makes an input unreadable (status 4).

render  Plays SCORE through the same note capture and note planner as the desktop program (the
        random source in its fixed starting state) and writes the finished part file to OUT,
        whole or not at all. SCORE is a Standard MIDI File (format 0 or 1) or a text score with
        one note a line, "KEY HOLD [GAP]": KEY 0 to 36, HOLD the seconds the key is held, GAP the
        seconds of silence before the press (0 when left out); blank lines and # comments are
        ignored. MIDI is reduced to one voice: the highest sounding note wins, and notes outside
        C3 to C6 move by octaves into it. SCORE may be a pipe, or - for standard input.
        --settings FILE  settings file in the form of Chimex.ini (default: the desktop
                         program's Chimex.ini, see Files; without one INITIAL)
        --pause          write pause lines, as the settings dialog's check box does
        --track N        MIDI: play only track N (from 1)
        --channel N      MIDI: play only channel N (1 to 16)
        --transpose N    MIDI: shift every note by N semitones first
        --format gcode   write G-code instead of a part file (see convert); needs --dialect
                         grbl, linuxcnc or marlin and --unit mm or in (Marlin: mm only)
        --steps-per-unit N    tune each key's feed to its true pitch (C3 = 130.81 Hz) on motors
                         of N steps per length unit: speed = pitch / N, moved down by octaves
                         while faster than the axis's fastest speed (such notes are counted)
        --z-steps-per-unit M  the same for Z (default: N)

convert Writes the part file PART as G-code, move for move: the header comments state the
        extents and fastest feeds, an operator stop (M0) comes before the move to 0, 0, 0, then
        each jog is one G1 at its speed in units a minute and each pause a dwell (G4 P: seconds;
        for Marlin milliseconds). The part file must pass check against the settings, and so
        must the G-code written; otherwise nothing is written.
        --dialect D      grbl, linuxcnc or marlin
        --unit U         the machine's length unit: mm (G21) or in (G20)
        --settings FILE  the limits to check against (default: INITIAL)

check, preview and listen also read the G-code that render and convert write, told apart from a
part file by its content.

check   Replays the part file PART from 0, 0, 0 and reports notes, pauses, extents, fastest
        speeds and running time. Verifies that every line is well-formed, every coordinate lies
        strictly between 0 and its axis limit, no jog is faster than its axis's speed limit, the
        header states the extents and fastest speeds the jogs reach, and the file ends as
        written (footer; G-code: program end) so a file cut short is found. G-code must set its
        units and modes once, on the setup line before the first move (G21 or G20 with G90 G94;
        Marlin: G90). Violations are listed as they are found, the summary last.
        --settings FILE  the limits to check against (default: as for render)
        --json           the report as JSON

preview Draws PART as an SVG picture: the travel box from the settings with the tool path in a
        top view (X and Y) and a side view (X and Z), each jog in the colour of the key whose
        note its speed sounds, the start and end marked, a time line of which axis jogs when and
        the pauses, and the extents and running time. Warns about jogs that end outside the box.
        --settings FILE  the travel box and speeds (default: as for render)
        --unit NAME      the machine's length unit for the labels (default: units)

listen  Writes what the motors will sound like as a WAV file (44.1 kHz, 16-bit, mono): a jog at
        speed v hums at v x N steps a second for its distance over v seconds, pauses (the
        2-second start pause too) are silent. Warns about step rates below 20 Hz or above
        20 kHz, which cannot be heard.
        --steps-per-unit N    motor steps per length unit of X and Y (a number above 0)
        --z-steps-per-unit M  the same for Z (default: N)

finish  Turns the journal that the desktop program leaves in the tune file when it ends without
        finishing it (a crash, a power cut) into the finished part file PART: the header with
        the extents and fastest speeds the jogs reach, the journal line for line, the footer.
        Refuses G-code and a journal with a line that is not well-formed or a jog outside the
        limits. A last line without its line end (cut by the crash) is left out, and said so.
        --settings FILE  the limits the jogs must keep (default: INITIAL)

Exit status:
  0  done; for check: every check passed
  1  check: violations found, each listed with its line number (file: for the whole file)
  2  the command line is wrong
  3  render: not enough room for a note; OUT holds every note placed before it
  4  the input cannot be read or is not well-formed (the first bad line is named); nothing
     was written
  5  the output cannot be written (or a sound would be too long for a WAV file), or another
     failure; nothing was written
)";

} // namespace

std::string helpText() {
    std::string initial;
    for (const char* text : initialFieldTexts) {
        initial += (initial.empty() ? "" : ", ") + std::string(text);
    }
    std::string help(helpTemplate);
    const std::string_view placeholder = "INITIAL";
    for (auto at = help.find(placeholder); at != std::string::npos; at = help.find(placeholder)) {
        help.replace(at, placeholder.size(), initial);
    }
    return help + "\n" + folderRuleHelp() +
           "  chimex-cli reads the Chimex.ini of the desktop program found by the same rule from\n"
           "  its own folder.\n";
}

/// Standard output may be a full disk or a closed pipe: what was printed must have arrived.
ExitStatus flushOutput(ExitStatus status, Console console) {
    errno = 0;
    if (console.out.flush()) {
        return status;
    }
    console.err << "chimex-cli: cannot write standard output: " << systemReason() << "\n";
    return ExitStatus::OutputFailure;
}

ExitStatus runCommandLine(const std::vector<std::string>& arguments, Console console) {
    try {
        return flushOutput(dispatch(arguments, console), console);
    } catch (const UsageError& error) {
        console.err << "chimex-cli: " << error.what() << " (see chimex-cli --help)\n";
        return ExitStatus::Usage;
    } catch (const InputFailure& failure) {
        console.err << "chimex-cli: " << failure.what() << "\n";
        return ExitStatus::BadInput;
    } catch (const std::bad_alloc&) {
        console.err << "chimex-cli: not enough memory to finish; nothing was written\n";
        return ExitStatus::OutputFailure;
    } catch (const std::exception& failure) {
        console.err << "chimex-cli: " << failure.what() << "\n";
        return ExitStatus::OutputFailure;
    }
}

} // namespace chimex
