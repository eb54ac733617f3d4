// SPDX-License-Identifier: MIT
#include "program_options.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

namespace chimex {
namespace {

/// Qt's own options, which QApplication takes from the command line itself.
constexpr std::array<std::string_view, 12> qtOptionsWithValue{
    "-platform",        "-platformpluginpath", "-platformtheme", "-plugin",  "-qmljsdebugger",
    "-style",           "-stylesheet",         "-session",       "-display", "-geometry",
    "-qwindowgeometry", "-qwindowtitle"};
constexpr std::array<std::string_view, 5> qtFlags{"-reverse", "-widgetcount", "-nograb", "-dograb",
                                                  "-sync"};

template <std::size_t N>
bool among(const std::array<std::string_view, N>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

/// How many arguments a Qt option at `argument` takes up (1 or 2), or 0 when it is none. Qt
/// reads "--name" as "-name" and also takes "-name=value".
int qtOptionLength(std::string_view argument) {
    if (argument.starts_with("--")) {
        argument.remove_prefix(1);
    }
    const auto equals = argument.find('=');
    const std::string_view name = argument.substr(0, equals);
    if (among(qtOptionsWithValue, name)) {
        return equals == std::string_view::npos ? 2 : 1;
    }
    return among(qtFlags, argument) ? 1 : 0;
}

/// The value of option `name` given as "NAME VALUE" or "NAME=VALUE" at argument `i`, which then
/// moves past it; nothing when argument `i` is not that option.
std::optional<std::string> valueOf(std::string_view name, int argc, const char* const* argv, int& i,
                                   std::optional<std::string>& problem, std::string_view what) {
    const std::string_view argument = argv[i];
    if (argument.starts_with(std::string(name) + "=")) {
        return std::string(argument.substr(name.size() + 1));
    }
    if (argument != name) {
        return std::nullopt;
    }
    if (i + 1 == argc) {
        problem = std::string(name) + " needs " + std::string(what);
        return std::nullopt;
    }
    return std::string(argv[++i]);
}

/// `--machine` is given once with a link, and once more with a settings file beside it.
void readMachine(const std::string& text, ProgramOptions& options) {
    const bool link = namesLink(text) || text.starts_with("klipper:");
    if (link ? options.machine.has_value() : options.machineFile.has_value()) {
        options.problem = "--machine is given twice with a " +
                          std::string(link ? "link" : "settings file") +
                          ": give one link, and beside it at most one settings file";
        return;
    }
    if (!link) {
        options.machineFile = text;
        return;
    }
    // Klipper has no link, but is named, so that live play can say why it refuses it.
    if (text.starts_with("klipper:")) {
        options.machine = LinkAddress{GcodeDialect::Klipper, SerialPortAddress{text.substr(8)}};
        return;
    }
    try {
        options.machine = parseLinkAddress(text);
    } catch (const Failure& failure) {
        options.problem = "--machine: " + std::string(failure.what());
    }
}

/// A settings file alone has no machine to play: what was meant is most likely a link.
void checkMachine(ProgramOptions& options) {
    if (options.machineFile && !options.machine && !options.problem) {
        try {
            parseLinkAddress(options.machineFile->string());
        } catch (const Failure& failure) {
            options.problem = "--machine: " + std::string(failure.what()) +
                              " (a settings file is taken only beside a link, such as "
                              "--machine linuxcnc:localhost --machine machine.ini)";
        }
    }
}

} // namespace

ProgramOptions readProgramOptions(int argc, const char* const* argv) {
    ProgramOptions options;
    for (int i = 1; i < argc && !options.problem; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--list-midi") {
            options.listMidi = true;
        } else if (auto name = valueOf("--midi-in", argc, argv, i, options.problem,
                                       "the name of a MIDI source")) {
            options.midiFilter = *name;
        } else if (auto link = valueOf("--machine", argc, argv, i, options.problem,
                                       "a link such as grbl:/dev/ttyUSB0")) {
            readMachine(*link, options);
        } else if (options.problem) {
            return options;
        } else if (const int length = qtOptionLength(argument); length > 0) {
            i += length - 1;
        } else {
            options.problem = "unknown argument \"" + std::string(argument) +
                              "\" (chimex --help lists the options)";
            return options;
        }
    }
    checkMachine(options);
    return options;
}

} // namespace chimex
