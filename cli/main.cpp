// SPDX-License-Identifier: MIT
#include "cli/command_line.h"
#include "files/pending_removal.h"
#ifdef CHIMEX_MACHINE_LINKS
#include "platform/link/qt_machine_links.h"
#endif

#include <iostream>
#include <memory>
#include <unistd.h>

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    // Where an output file needs a name while it is written, an ending signal removes it.
    chimex::removeOnEndingSignals();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    chimex::Console console{std::cout, std::cerr, isatty(STDERR_FILENO) == 1};
    console.in = &std::cin;
#ifdef CHIMEX_MACHINE_LINKS
    chimex::QtMachineLinks links;
    console.links = &links;
#endif
    const auto status = chimex::runCommandLine(arguments, console);
    return static_cast<int>(status);
}
