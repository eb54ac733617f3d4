// SPDX-License-Identifier: MIT
#pragma once

#include "link/link_address.h"

#include <filesystem>
#include <optional>
#include <string>

namespace chimex {

/// The desktop program's own options and Qt's (left to Qt); anything else is a problem.
struct ProgramOptions {
    bool listMidi = false;              ///< --list-midi: print the MIDI sources and end
    std::string midiFilter;             ///< --midi-in NAME: only sources whose name contains NAME
    std::optional<LinkAddress> machine; ///< --machine LINK: play that machine live
    /// --machine FILE beside a link: the machine's settings the link cannot tell (a LinuxCNC INI)
    std::optional<std::filesystem::path> machineFile;
    std::optional<std::string> problem; ///< what is wrong with the command line
};

ProgramOptions readProgramOptions(int argc, const char* const* argv);

} // namespace chimex
