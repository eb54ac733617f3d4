// SPDX-License-Identifier: MIT
#pragma once

#include "link/linuxcnc_session.h"
#include "link/machine_player.h"

#include <chrono>
#include <string>

namespace chimex {

struct LinuxcncPlayerOptions {
    /// The program's absolute path on LinuxCNC's own computer: LinuxCNC opens the file itself, so
    /// it must be readable there, at that path.
    std::string programPath;
    /// The joints that must be homed: the machine's `[KINS] JOINTS` (linuxcncrsh reports six).
    int joints = 3;
    LinuxcncLogin login;
    /// How often the program's state is asked while it runs, and how long a reply may take.
    std::chrono::milliseconds pollEvery{50};
    std::chrono::milliseconds replyWithin{2000};
};

/// Plays a program on LinuxCNC through linuxcncrsh: opens the file by its path and runs it,
/// following its line to the end, resuming at its stop (M0) when the watcher says so. It never
/// switches the machine on nor homes it: start() refuses a machine that is not ready, saying what
/// the user must do at the machine.
///
/// play() returns early, the program still running, once the watcher asks to stop or says not to
/// resume at the pause: the caller then calls stop().
class LinuxcncPlayer : public MachinePlayer {
  public:
    LinuxcncPlayer(MachineLink& link, LinuxcncPlayerOptions options);

    /// Returns "": linuxcncrsh cannot report the INI's settings; give the INI for them.
    std::string start(LinkTime deadline) override;
    /// Connects only, and returns "" as start() does.
    std::string readSettings(LinkTime deadline) override;
    /// `lines` are the file's lines, counted for the progress; LinuxCNC reads the file itself.
    void play(const std::vector<std::string>& lines, PlayWatcher& watcher) override;
    /// Aborts the program (and any jog): LinuxCNC keeps its position and homing, so "" .
    std::string stop() override;

    LinuxcncSession& session() { return session_; }

  private:
    LinkTime replyDeadline();
    void checkReady(LinkTime deadline);
    void open();
    void follow(std::uint64_t lines, PlayWatcher& watcher);
    bool resume(PlayWatcher& watcher, long line);
    void finish();
    [[noreturn]] void stopAfter(const std::string& what);

    MachineLink& link_;
    LinuxcncPlayerOptions options_;
    LinuxcncSession session_;
};

} // namespace chimex
