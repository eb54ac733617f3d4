// SPDX-License-Identifier: MIT
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace chimex {

/// Exit statuses of chimex-cli.
enum class ExitStatus : int {
    Done = 0,          ///< finished; for check: every check passed
    Violations = 1,    ///< check found violations, each listed with its line
    Usage = 2,         ///< the command line is wrong
    NoRoom = 3,        ///< render stopped for lack of room; OUT holds the notes placed before
    BadInput = 4,      ///< the input cannot be read or is not well-formed; nothing written
    OutputFailure = 5, ///< the output cannot be written, or another failure; nothing written
};

/// What the standard streams are connected to.
struct Console {
    std::ostream& out;
    std::ostream& err;
    bool errIsTerminal = false; ///< show progress on `err`
};

/// Runs chimex-cli with its arguments (without the program name).
ExitStatus runCommandLine(const std::vector<std::string>& arguments, Console console);

/// The text --help prints.
std::string helpText();

} // namespace chimex
