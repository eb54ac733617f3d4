// SPDX-License-Identifier: MIT
#pragma once

#include "link/machine_player.h"
#include "link/marlin_session.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace chimex {

/// Plays a program on Marlin through a MarlinSession. The end is `M400`: its `ok` comes once
/// every move has finished. The program's stop (`M0`) is handed to the watcher and resumed with
/// `M108`, which Marlin hears while it waits only when built with its emergency parser; else
/// the user is told to press its display's button.
///
/// play() returns early, the machine still running, once the watcher asks to stop or says not to
/// resume at the pause: the caller then calls stop().
class MarlinPlayer : public MachinePlayer {
  public:
    /// How long Marlin may stay silent before a line is answered. A line is answered once its
    /// move is planned, which waits for the oldest planned move to end: a note's length at most.
    static constexpr std::chrono::seconds answerWithin{60};
    /// The end waits for every planned move (16 notes by default) unless Marlin says busy.
    static constexpr std::chrono::minutes endWithin{10};
    /// Marlin's planner (BLOCK_BUFFER_SIZE) holds 16 moves unless ADVANCED_OK tells otherwise.
    static constexpr int plannerMoves = 16;

    explicit MarlinPlayer(MachineLink& link);

    /// `M110 N0`, then `M503`: its report's lines, `echo:` prefixes and all.
    std::string start(LinkTime deadline) override;
    /// As start(): Marlin has no state that refuses a program yet answers M503.
    std::string readSettings(LinkTime deadline) override { return start(deadline); }
    void play(const std::vector<std::string>& lines, PlayWatcher& watcher) override;
    /// `M410` when Marlin's queue holds no move of ours (its planner is emptied), else `M112`.
    std::string stop() override;

  private:
    void playWatched(const std::vector<std::string>& lines, PlayWatcher& watcher);
    void sendAll(const std::vector<std::string>& lines, PlayWatcher& watcher);
    void watch(PlayWatcher& watcher);
    void pausedFor(PlayWatcher& watcher);
    void reportProgress(PlayWatcher& watcher);
    bool halted();
    LinkTime in(std::chrono::seconds wait) const;

    MachineLink& link_;
    MarlinSession session_;
    std::uint64_t firstNumber_ = 0;          ///< the number of the program's first line sent
    std::vector<std::size_t> programLineOf_; ///< per line sent, its index in the program
    std::uint64_t reported_ = 0;
    int pausedLines_ = 0; ///< busy lines since the user said to go on (M108 sent)
    bool pauseTold_ = false;
};

} // namespace chimex
