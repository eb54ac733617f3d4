// SPDX-License-Identifier: MIT
#include "cli/command_line.h"
#include "files/pending_removal.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    // Where an output file needs a name while it is written, an ending signal removes it.
    chimex::removeOnEndingSignals();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const chimex::Console console{std::cout, std::cerr, isatty(STDERR_FILENO) == 1};
    const auto status = chimex::runCommandLine(arguments, console);
    return static_cast<int>(status);
}
