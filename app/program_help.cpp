// SPDX-License-Identifier: MIT
#include "program_help.h"

#include "platform/program_folders.h"

#include <cerrno>
#include <string_view>
#include <system_error>

namespace chimex {

namespace {

constexpr const char* usage =
    R"(Usage: chimex [--midi-in NAME] [--machine LINK [--machine INI]] | --list-midi | --version | --help

Chimex Vedadazu: play a tune on a 37-key on-screen piano keyboard and get it back as a part file
for a Gantrix CNC router. The program asks for the tune file's name (a .gxp part file), then shows
the Tool Settings dialog with the router's travel limits and fastest jog speeds. Every key held
with the mouse sounds its note and becomes one jog move of one axis, at the speed whose stepper
hum sounds that pitch, for as long as the key was held. Finished (or closing the window) turns the
tune file into the finished part file. chimex-cli renders, checks, previews and plays part files
without a window.

Keys can also be played from the computer keyboard (two rows of letter keys, by their position)
and from every MIDI keyboard present. When the tune file is finished, the notes as played are
also written beside it as a MIDI file of the same name ending in .mid.

Options:
  --midi-in NAME  take MIDI notes only from the sources whose name contains NAME
  --machine LINK  play a GRBL machine live while keys are held (grbl:/dev/ttyUSB0[:115200]),
                  or LinuxCNC through linuxcncrsh (linuxcnc:HOST[:5007]) with its INI given as
                  a second --machine /path/to/machine.ini (for the travel); the machine must be
                  homed and idle, with soft limits on, or the program plays offline
  --list-midi     print the MIDI sources present and end
  --version       print the version and end
  -h, --help      show this help and the files this copy uses

)";

} // namespace

int printedStatus(std::ostream& out, std::ostream& err, const char* what) {
    errno = 0;
    if (out.flush()) {
        return 0;
    }
    err << "chimex: cannot write " << what << ": "
        << (errno != 0 ? std::generic_category().message(errno) : "output failed") << "\n";
    return 1;
}

std::optional<int> answerHelp(int argc, char** argv, std::ostream& out, std::ostream& err) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            out << usage << folderRuleHelp();
            const int status = printedStatus(out, err, "the help");
            err << "\n" << foldersInUse(findProgramFolders(executableFolder(), userFolders()));
            return status;
        }
    }
    return std::nullopt;
}

} // namespace chimex
