// SPDX-License-Identifier: MIT
#include "command_options.h"

#include "files/atomic_output_file.h"
#include "link/link_address.h"
#include "partfile/number_text.h"

#include <algorithm>
#include <cerrno>
#include <charconv>

namespace chimex {
namespace {

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

/// The value given for option `name`, nothing when it was not given.
const std::string* optionText(const Options& options, const std::string& name) {
    const auto found = options.values.find(name);
    return found == options.values.end() ? nullptr : &found->second;
}

} // namespace

bool userGave(const Options& options, const std::string& name) {
    return options.values.count(name) != 0 && options.implied.count(name) == 0;
}

std::string namedOption(const Options& options, const std::string& name) {
    const std::string given = name + " " + options.values.at(name);
    if (options.implied.count(name) == 0) {
        return given;
    }
    return "--machine " + options.machineFile.value_or(options.values.at("--machine")) + " (its " +
           given + ")";
}

namespace {

/// `--machine` is given once with a link, and once more with a settings file beside it.
void addMachine(Options& options, const std::string& text) {
    const auto first = options.values.find("--machine");
    if (first == options.values.end()) {
        options.values["--machine"] = text;
        return;
    }
    if (options.machineFile || namesLink(first->second) == namesLink(text)) {
        throw UsageError("--machine is given twice with a " +
                         std::string(namesLink(text) ? "link" : "settings file") +
                         ": give one link, and beside it at most one settings file");
    }
    options.machineFile = namesLink(text) ? first->second : text;
    first->second = namesLink(text) ? text : first->second;
}

} // namespace

Options parseOptions(const std::vector<std::string>& args, const std::vector<std::string>& valued,
                     const std::vector<std::string>& flags) {
    Options options;
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string name = args[i] == "-o" ? "--output" : args[i];
        if (std::find(valued.begin(), valued.end(), name) != valued.end()) {
            if (i + 1 == args.size()) {
                throw UsageError(args[i] + " needs a value");
            }
            if (name == "--machine") {
                addMachine(options, args[++i]);
            } else {
                options.values[name] = args[++i];
            }
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
    const std::string* given = optionText(options, name);
    if (given == nullptr) {
        return std::nullopt;
    }
    const std::string& text = *given;
    int value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || value < low ||
        value > high) {
        throw UsageError(name + " takes a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not \"" + text + "\"");
    }
    return value;
}

std::optional<double> positiveNumber(const Options& options, const std::string& name, double high) {
    const std::string* given = optionText(options, name);
    if (given == nullptr) {
        return std::nullopt;
    }
    const std::string& text = *given;
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || !(value > 0) ||
        !(value <= high)) {
        if (options.implied.count(name)) {
            throw UsageError(namedOption(options, name) + " is out of range: above 0 and at most " +
                             shortestText(high));
        }
        throw UsageError(name + " takes a number above 0 and at most " + shortestText(high) +
                         ", not \"" + text + "\"");
    }
    return value;
}

std::optional<std::filesystem::path> optionalPath(const Options& options, const std::string& name) {
    const std::string* given = optionText(options, name);
    if (given == nullptr) {
        return std::nullopt;
    }
    return std::filesystem::path(*given);
}

SettingsChoice settingsChoice(const Options& options) {
    SettingsChoice choice;
    choice.file = optionalPath(options, "--settings");
    if (!choice.file) {
        choice.file = desktopSettingsFile();
    }
    choice.pause = options.flags.count("--pause") != 0;
    choice.machineBound = options.machineBound;
    return choice;
}

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

std::string onlyInput(const Options& options, const std::string& command,
                      const std::string& input) {
    if (options.positional.size() != 1) {
        throw UsageError(command + " takes one " + input);
    }
    return options.positional.front();
}

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
    for (const char* other : {"--settings", "--machine"}) {
        if (const auto path = optionalPath(options, other)) {
            inputs.push_back(*path);
        }
    }
    refuseOutputIsInput(*out, inputs);
    return *out;
}

GcodeFormat gcodeFormat(const Options& options) {
    const auto dialect = options.values.find("--dialect");
    const auto unit = options.values.find("--unit");
    if (dialect == options.values.end() || unit == options.values.end()) {
        throw UsageError("G-code needs --dialect grbl|linuxcnc|marlin|klipper and --unit mm|in");
    }
    GcodeFormat format;
    const auto named = dialectNamed(dialect->second);
    if (!named) {
        throw UsageError("--dialect takes grbl, linuxcnc, marlin or klipper, not \"" +
                         dialect->second + "\"");
    }
    format.dialect = *named;
    if (unit->second != "mm" && unit->second != "in") {
        throw UsageError("--unit takes mm or in, not \"" + unit->second + "\"");
    }
    format.unit = unit->second == "in" ? LengthUnit::Inch : LengthUnit::Millimetre;
    if (printerFirmware(format.dialect) && format.unit == LengthUnit::Inch) {
        throw UsageError(std::string(dialectName(format.dialect)) +
                         " works in millimetres: settings in inches cannot be written for it");
    }
    return format;
}

std::optional<GcodeFormat> outputFormat(const Options& options) {
    const auto format = options.values.find("--format");
    const bool gcode = format != options.values.end() && format->second == "gcode";
    if (format != options.values.end() && !gcode && format->second != "part") {
        throw UsageError("--format takes part or gcode, not \"" + format->second + "\"");
    }
    if (!gcode) {
        if (userGave(options, "--dialect") || userGave(options, "--unit")) {
            throw UsageError("--dialect and --unit go with --format gcode");
        }
        return std::nullopt;
    }
    return gcodeFormat(options);
}

} // namespace chimex
