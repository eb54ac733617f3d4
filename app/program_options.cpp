// SPDX-License-Identifier: MIT
#include "program_options.h"

#include <string_view>

namespace chimex {

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
        }
    }
    return options;
}

} // namespace chimex
