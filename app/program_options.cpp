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

} // namespace

ProgramOptions readProgramOptions(int argc, const char* const* argv) {
    ProgramOptions options;
    constexpr std::string_view midiIn = "--midi-in";
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--list-midi") {
            options.listMidi = true;
        } else if (argument == midiIn) {
            if (i + 1 == argc) {
                options.problem = "--midi-in needs the name of a MIDI source";
                return options;
            }
            options.midiFilter = argv[++i];
        } else if (argument.starts_with(std::string(midiIn) + "=")) {
            options.midiFilter = argument.substr(midiIn.size() + 1);
        } else if (const int length = qtOptionLength(argument); length > 0) {
            i += length - 1;
        } else {
            options.problem = "unknown argument \"" + std::string(argument) +
                              "\" (chimex --help lists the options)";
            return options;
        }
    }
    return options;
}

} // namespace chimex
