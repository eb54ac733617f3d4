// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/command.h"
#include "cli/common/settings_choice.h"
#include "files/failure.h"
#include "machine/machine_settings.h"
#include "machinefile/gcode_format.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace chimex {

/// A command's arguments: the positional ones and the options by long name ("-o" is "--output").
struct Options {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values; ///< options with a value, by long name
    std::map<std::string, bool> flags;
    /// Options whose values come from --machine FILE rather than the command line.
    std::set<std::string> implied;
    /// The travel and fastest speeds --machine FILE bounds the settings by.
    std::optional<MachineLimits> machineBound;
    /// --machine FILE as read once, for what is worked out from it after the file to be read is
    /// known (its unit, what it states it was timed for).
    std::optional<MachineSettings> machine;
    /// A settings file given as a second --machine beside a link (LinuxCNC's INI); the link
    /// stays in values["--machine"].
    std::optional<std::string> machineFile;
};

/// Whether the user typed option `name` (not implied by --machine).
bool userGave(const Options& options, const std::string& name);

/// How a message names option `name` with its value: "--accel 500", or for a value implied by
/// --machine "--machine FILE (its --accel 500)".
std::string namedOption(const Options& options, const std::string& name);

/// Parses the arguments after the command's name (args[0]). Throws UsageError for an unknown
/// option or one without its value.
Options parseOptions(const std::vector<std::string>& args, const std::vector<std::string>& valued,
                     const std::vector<std::string>& flags);

/// The option as a whole number from `low` to `high`, nothing when it is not given.
std::optional<int> wholeNumber(const Options& options, const std::string& name, int low, int high);

/// A number above 0 and at most `high`, or nothing when the option is not given.
std::optional<double> positiveNumber(const Options& options, const std::string& name, double high);

std::optional<std::filesystem::path> optionalPath(const Options& options, const std::string& name);

/// --settings FILE (default: the desktop program's Chimex.ini) and --pause.
SettingsChoice settingsChoice(const Options& options);

/// How an input is read: once from start to end (a pipe will do), or twice (an ordinary file).
enum class Reading { Once, Twice };

/// Opens the input file; `what` names it in the message ("the score", "the part file"). "-" is
/// standard input.
std::ifstream openInput(const std::string& name, const std::string& what, Reading reading);

/// The command's one input file (`input` names it in messages: "SCORE", "PART file").
std::string onlyInput(const Options& options, const std::string& command, const std::string& input);

/// The -o OUT that render, preview and listen need; never the input `name` nor the settings file.
std::filesystem::path requiredOutput(const Options& options, const std::string& command,
                                     const std::string& name);

/// Runs `work` on the input file `name`, naming it in the input failures that name no file.
template <typename Work> auto readingInput(const std::string& name, Work work) {
    try {
        return work();
    } catch (const InputFailure& failure) {
        throw failure.inFile(name);
    }
}

/// --dialect and --unit, both needed to write G-code.
GcodeFormat gcodeFormat(const Options& options);

/// --format gcode with its --dialect and --unit, or nothing for a part file.
std::optional<GcodeFormat> outputFormat(const Options& options);

} // namespace chimex
