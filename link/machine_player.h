// SPDX-License-Identifier: MIT
#pragma once

#include "platform/machine_link.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace chimex {

/// What a player tells the one who started it while a program plays, and asks of them.
class PlayWatcher {
  public:
    virtual ~PlayWatcher() = default;
    /// The controller has finished (not merely received) `lines` of the program's lines.
    virtual void progress(std::uint64_t lines) = 0;
    /// The program stopped at its pause (`M0`); `what` says what the machine waits for. Returns
    /// when the user says to go on; true to resume, false to stop the machine instead.
    virtual bool paused(std::string_view what) = 0;
    /// Polled while waiting: true once the user asked to stop (Ctrl+C, a signal).
    virtual bool stopAsked() = 0;
};

/// Plays a G-code program on one controller, whichever protocol it speaks. A refusal, an alarm
/// or a reset throws MachineStopped, a lost or silent link LinkFailure, both saying it in words.
class MachinePlayer {
  public:
    virtual ~MachinePlayer() = default;
    /// Connects and makes sure the controller is ready to take a program: idle, not in alarm.
    /// Returns the text of its own settings report, readable by readMachineSettings() (GRBL `$$`,
    /// Marlin `M503`); empty when the controller cannot report them over the link.
    virtual std::string start(LinkTime deadline) = 0;
    /// Connects and returns the same report as start(), whatever state the controller is in (GRBL
    /// answers `$$` in alarm): for reading the settings, not for playing.
    virtual std::string readSettings(LinkTime deadline) = 0;
    /// Plays `lines` (a file's lines, without line ends) to the program's end and returns once
    /// the machine stands idle.
    virtual void play(const std::vector<std::string>& lines, PlayWatcher& watcher) = 0;
    /// Stops the machine at once, as safely as the controller allows (GRBL: feed hold, then soft
    /// reset; LinuxCNC: abort), whatever state it is in. Returns what the user must do before
    /// playing again ("home the machine again"), or empty.
    virtual std::string stop() = 0;
};

} // namespace chimex
