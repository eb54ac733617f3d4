// SPDX-License-Identifier: MIT
#pragma once

#include <istream>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace chimex {

/// Exit statuses of chimex-cli.
enum class ExitStatus : int {
    Done = 0,           ///< finished; for check: every check passed
    Violations = 1,     ///< check found violations, each listed with its line
    Usage = 2,          ///< the command line is wrong
    NoRoom = 3,         ///< render or convert stopped for lack of room; OUT holds the notes before
    BadInput = 4,       ///< the input cannot be read or is not well-formed; nothing written
    OutputFailure = 5,  ///< the output cannot be written, or another failure; nothing written
    MachineRefused = 6, ///< the machine refused, raised an alarm, or was stopped
    LinkLost = 7,       ///< the link to the machine cannot be opened, or was lost
};

class MachineLinks;

/// What the standard streams are connected to.
struct Console {
    std::ostream& out;
    std::ostream& err;
    bool errIsTerminal = false;    ///< show progress on `err`
    std::istream* in = nullptr;    ///< standard input: play waits there for Enter at its pause
    MachineLinks* links = nullptr; ///< opens --machine LINK; none where links are not built
};

/// A command-line mistake; its message is shown with a pointer to --help.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct Options;

/// One command of chimex-cli: its name, the options it takes, its part of --help and its work.
struct Command {
    std::string_view name;
    std::vector<std::string> valued; ///< long names of the options that take a value
    std::vector<std::string> flags;  ///< long names of the options without one
    std::string_view usage;          ///< its lines of the help's "Usage:"
    std::string_view help;           ///< its paragraph of the help, after `preface`
    std::string_view preface;        ///< a paragraph that stands before its own, if any
    ExitStatus (*run)(const Options& options, Console console);
    /// Opens --machine LINK itself (play), so the command line reads no settings from it first.
    bool opensMachine = false;
};

} // namespace chimex
