// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/command.h"
#include "cli/play/stop_signals.h"
#include "link/machine_player.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace chimex {

/// The notes of a program of `lines` lines, as check counts them (a LinuxCNC rest is none): how
/// many come before each line (one more entry than lines, the last the total).
std::vector<std::uint64_t> notesBeforeLines(const std::string& program, std::size_t lines);

/// What the user sees and says while a program plays: a progress bar on a terminal (notes played,
/// elapsed and remaining time on the link's clock), the pause's question and its answer (Enter,
/// or at once with --yes), and the stop signals.
class PlayConsole : public PlayWatcher {
  public:
    PlayConsole(Console console, MachineLink& link, std::vector<std::uint64_t> notesBefore,
                double runningSeconds, bool resumeAtOnce, const StopSignals& signals);

    void progress(std::uint64_t lines) override;
    bool paused(std::string_view what) override;
    bool stopAsked() override { return signals_.asked(); }

    /// Ends the progress bar's line, so that what follows starts on a line of its own.
    void endBar();
    std::uint64_t linesFinished() const { return lines_; }
    std::uint64_t notesPlayed() const { return played_; }
    std::uint64_t notes() const { return notesBefore_.back(); }
    /// Seconds since the tune started (its pause resumed, or its first line finished).
    double elapsed();

  private:
    void draw();

    Console console_;
    MachineLink& link_;
    std::vector<std::uint64_t> notesBefore_;
    double runningSeconds_;
    bool resumeAtOnce_;
    const StopSignals& signals_;
    std::uint64_t lines_ = 0;
    std::uint64_t played_ = 0;
    std::optional<LinkTime> started_;
    bool drawn_ = false;
};

} // namespace chimex
