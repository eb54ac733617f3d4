// SPDX-License-Identifier: MIT
// Serves a fake GRBL 1.1 on a pseudo-terminal, for end-to-end runs of programs that talk to a
// machine: prints the port's path, then serves it until ended by SIGINT or SIGTERM.
// Usage: fake_grbl_pty [--link PATH] [--rx BYTES] [--no-homing] [--work-offset X,Y,Z]
//   --link PATH   also make PATH a symbolic link to the port (removed at the end)
//   --rx BYTES    the receive buffer GRBL reports and keeps (default 128)
//   --no-homing   start idle rather than in alarm
//   --work-offset X,Y,Z  the work zero in machine coordinates (G54's offset), e.g. -300,-200,-80
//                 for a work zero at the travel's low end
#include "fake_grbl_serve.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

std::atomic<bool> ending{false};

void endServing(int) {
    ending = true;
}

} // namespace

int main(int argc, char** argv) {
    chimex::FakeGrblMachine machine;
    std::string link;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--link" && i + 1 < argc) {
            link = argv[++i];
        } else if (arg == "--rx" && i + 1 < argc) {
            machine.receiveBytes = std::atoi(argv[++i]);
        } else if (arg == "--no-homing") {
            machine.homing = false;
        } else if (arg == "--work-offset" && i + 1 < argc &&
                   std::sscanf(argv[i + 1], "%lf,%lf,%lf", &machine.workOffset[0],
                               &machine.workOffset[1], &machine.workOffset[2]) == 3) {
            ++i;
        } else {
            std::fprintf(stderr, "usage: fake_grbl_pty [--link PATH] [--rx BYTES] [--no-homing] "
                                 "[--work-offset X,Y,Z]\n");
            return 2;
        }
    }
    std::signal(SIGINT, endServing);
    std::signal(SIGTERM, endServing);
    const auto [master, path] = chimex::openFakeSerialPort();
    std::error_code ignored;
    if (!link.empty()) {
        std::filesystem::remove(link, ignored);
        std::filesystem::create_symlink(path, link);
    }
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);
    chimex::serveFakeGrbl(master, machine, ending);
    if (!link.empty()) {
        std::filesystem::remove(link, ignored);
    }
    ::close(master);
    return 0;
}
