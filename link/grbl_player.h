// SPDX-License-Identifier: MIT
#pragma once

#include "link/grbl_session.h"
#include "link/machine_player.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace chimex {

/// How full GRBL's planner was while a program played (from the `Bf:` field of its status
/// reports, which GRBL sends when its `$10` asks for it).
struct PlannerFill {
    int blocks = 15;              ///< the planner's size, from `$I`
    std::optional<int> mostFree;  ///< the most blocks free seen while notes were queued
    std::uint64_t reports = 0;    ///< status reports with `Bf:` while notes were queued
    std::uint64_t dryReports = 0; ///< of those, reports of an empty planner mid-tune
};

/// Plays a G-code program on GRBL 1.1: character counting against its receive buffer, a status
/// report at most 5 times a second, the program's `M0` passed to the watcher, and the end awaited
/// until GRBL stands idle.
///
/// play() returns early, the machine still running, once the watcher asks to stop or says not to
/// resume at the pause: the caller then calls stop(). A refusal's `sentLine` counts the
/// program's lines (those handed to play()) from 1.
class GrblPlayer : public MachinePlayer {
  public:
    explicit GrblPlayer(MachineLink& link);

    /// Refuses a GRBL in alarm or busy; returns its `$$` report, one setting a line.
    std::string start(LinkTime deadline) override;
    std::string readSettings(LinkTime deadline) override;
    void play(const std::vector<std::string>& lines, PlayWatcher& watcher) override;
    std::string stop() override;

    const PlannerFill& plannerFill() const { return fill_; }

  private:
    struct Sent {
        std::size_t index; ///< in the program's lines
        bool dwell;        ///< a line during which GRBL's planner is empty by rule (G4, M0, M2)
        bool pause;        ///< the program's stop, M0
    };

    void connect(LinkTime deadline);
    std::string settingsReport(LinkTime deadline);
    void stream(const std::vector<std::string>& lines, PlayWatcher& watcher);
    void sendWhileRoom(const std::vector<std::string>& lines);
    bool allAnswered() const;
    const Sent* oldestUnanswered() const;
    bool atPause() const;
    bool resumeFromPause(const std::vector<std::string>& lines, PlayWatcher& watcher);
    bool standsIdle() const;
    void noteStatus(const GrblStatus& status);
    void noteFill(int free);
    void tellProgress(PlayWatcher& watcher);
    void waitForRest();
    void refuseUnready(const GrblStatus& status) const;

    MachineLink& link_;
    GrblSession session_;
    int plannerBlocks_ = 15;
    std::vector<Sent> sent_;        ///< the lines sent by play(), in order
    std::uint64_t firstNumber_ = 0; ///< the session's count of lines sent before play()
    std::size_t programSize_ = 0;
    std::size_t next_ = 0;     ///< the next program line to send
    std::size_t finished_ = 0; ///< program lines the machine has finished, a lower bound
    std::size_t resumedPause_ = SIZE_MAX;
    bool noteSent_ = false;
    bool alarmed_ = false;               ///< play() ended in an alarm
    std::uint64_t answeredAtReport_ = 0; ///< lines answered when the last report came
    int usedAtReport_ = 0;               ///< planner blocks in use then (all when unknown)
    PlannerFill fill_;
};

} // namespace chimex
