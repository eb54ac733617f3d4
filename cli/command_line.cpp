// SPDX-License-Identifier: MIT
#include "command_line.h"

#include "cli/check/check_command.h"
#include "cli/common/command_options.h"
#include "cli/common/machine_options.h"
#include "cli/convert/convert_command.h"
#include "cli/finish/finish_command.h"
#include "cli/listen/listen_command.h"
#include "cli/play/play_command.h"
#include "cli/preview/preview_command.h"
#include "cli/render/render_command.h"
#include "core/program_state.h"
#include "files/atomic_output_file.h"
#include "files/failure.h"
#include "link/machine_stopped.h"
#include "platform/machine_link.h"
#include "platform/program_folders.h"
#include "settings/settings_view.h"

#include <algorithm>
#include <array>
#include <cerrno>

namespace chimex {
namespace {

/// The commands in the order --help shows them.
const std::array<Command, 7>& commands() {
    static const std::array<Command, 7> table = {
        renderCommand(), convertCommand(), checkCommand(), previewCommand(),
        listenCommand(), finishCommand(),  playCommand()};
    return table;
}

/// What --help says besides the commands' own parts.
constexpr std::string_view helpCommon =
    R"(OUT may be - for standard output, as an input may be - for standard input. A line longer
than 4096 characters or a NUL byte makes an input unreadable (status 4), and so does a settings
file whose MAxXYSpeed, or MAxZSpeed above 0, lies outside 0.0041 to 100000 units a second.

)";
constexpr std::string_view helpExit = R"(Exit status:
  0  done; for check: every check passed
  1  check: violations found, each listed with its line number (file: for the whole file)
  2  the command line is wrong
  3  render, convert --accel: not enough room for a note; OUT holds every note placed before it
  4  the input cannot be read or is not well-formed (the first bad line is named); nothing
     was written
  5  the output cannot be written (or a sound would be too long for a WAV file), or another
     failure; nothing was written
  6  play, or --machine LINK: the machine refused a line, raised an alarm, is not ready (in
     alarm, busy) or was stopped (Ctrl+C, a signal, not resumed at the file's stop)
  7  play, or --machine LINK: the link to the machine cannot be opened or was lost
)";

ExitStatus dispatch(const std::vector<std::string>& args, Console console) {
    if (args.empty()) {
        throw UsageError("no command given");
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        console.out << helpText();
        console.err << "\n" << foldersInUse(findProgramFolders(executableFolder(), userFolders()));
        return ExitStatus::Done;
    }
    if (std::find_if(args.begin() + 1, args.end(), [](const std::string& a) {
            return a == "--help" || a == "-h";
        }) != args.end()) {
        console.out << helpText();
        return ExitStatus::Done;
    }
    if (args[0] == "--version") {
        console.out << "chimex-cli (" << programName << ") " << programVersion << "\n";
        return ExitStatus::Done;
    }
    for (const Command& command : commands()) {
        if (args[0] == command.name) {
            return command.run(withMachineFile(parseOptions(args, command.valued, command.flags),
                                               command, console.links),
                               console);
        }
    }
    throw UsageError("unknown command " + args[0]);
}

/// The help as the table gives it, with INITIAL standing for the settings dialog's initial values.
std::string helpTemplate() {
    std::string help = "Usage:\n";
    for (const Command& command : commands()) {
        help += command.usage;
    }
    help += "  chimex-cli --help\n  chimex-cli --version\n\n";
    help += helpCommon;
    for (const Command& command : commands()) {
        help += std::string(command.preface) + std::string(command.help) + "\n";
    }
    return help + std::string(helpExit);
}

} // namespace

std::string helpText() {
    std::string initial;
    for (const char* text : initialFieldTexts) {
        initial += (initial.empty() ? "" : ", ") + std::string(text);
    }
    std::string help = helpTemplate();
    const std::string_view placeholder = "INITIAL";
    for (auto at = help.find(placeholder); at != std::string::npos; at = help.find(placeholder)) {
        help.replace(at, placeholder.size(), initial);
    }
    return help + "\n" + folderRuleHelp() +
           "  chimex-cli reads the Chimex.ini of the desktop program found by the same rule from\n"
           "  its own folder.\n";
}

/// Standard output may be a full disk or a closed pipe: what was printed must have arrived.
ExitStatus flushOutput(ExitStatus status, Console console) {
    errno = 0;
    if (console.out.flush()) {
        return status;
    }
    console.err << "chimex-cli: cannot write standard output: " << systemReason() << "\n";
    return ExitStatus::OutputFailure;
}

ExitStatus runCommandLine(const std::vector<std::string>& arguments, Console console) {
    try {
        return flushOutput(dispatch(arguments, console), console);
    } catch (const UsageError& error) {
        console.err << "chimex-cli: " << error.what() << " (see chimex-cli --help)\n";
        return ExitStatus::Usage;
    } catch (const MachineStopped& stopped) {
        console.err << "chimex-cli: " << stopped.what() << "\n";
        return ExitStatus::MachineRefused;
    } catch (const LinkFailure& lost) {
        console.err << "chimex-cli: " << lost.what() << "\n";
        return ExitStatus::LinkLost;
    } catch (const InputFailure& failure) {
        console.err << "chimex-cli: " << failure.what() << "\n";
        return ExitStatus::BadInput;
    } catch (const std::bad_alloc&) {
        console.err << "chimex-cli: not enough memory to finish; nothing was written\n";
        return ExitStatus::OutputFailure;
    } catch (const std::exception& failure) {
        console.err << "chimex-cli: " << failure.what() << "\n";
        return ExitStatus::OutputFailure;
    }
}

} // namespace chimex
