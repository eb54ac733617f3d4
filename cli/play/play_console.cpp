// SPDX-License-Identifier: MIT
#include "play_console.h"

#include "machinefile/gcode_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace chimex {
namespace {

constexpr int barWidth = 30;

/// Seconds as m:ss.
std::string clockText(double seconds) {
    const long whole = std::lround(std::max(0.0, seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

} // namespace

std::vector<std::uint64_t> notesBeforeLines(const std::string& program, std::size_t lines) {
    std::istringstream in(program);
    GcodeReader reader(in, [](const MoveIssue&) {});
    std::vector<std::uint64_t> before(lines + 1, 0);
    NoteTally tally;
    while (const auto event = reader.next()) {
        tally.add(*event);
        if (event->line >= 1 && std::size_t(event->line) <= lines) {
            before[std::size_t(event->line)] = std::uint64_t(tally.notes());
        }
    }
    for (std::size_t line = 1; line <= lines; ++line) {
        before[line] = std::max(before[line], before[line - 1]);
    }
    return before;
}

PlayConsole::PlayConsole(Console console, MachineLink& link, std::vector<std::uint64_t> notesBefore,
                         double runningSeconds, bool resumeAtOnce, const StopSignals& signals)
    : console_(console), link_(link), notesBefore_(std::move(notesBefore)),
      runningSeconds_(runningSeconds), resumeAtOnce_(resumeAtOnce), signals_(signals) {}

void PlayConsole::progress(std::uint64_t lines) {
    if (!started_) {
        started_ = link_.now();
    }
    lines_ = lines;
    played_ = notesBefore_[std::min<std::uint64_t>(lines, notesBefore_.size() - 1)];
    if (console_.errIsTerminal) {
        draw();
    }
}

bool PlayConsole::paused(std::string_view what) {
    endBar();
    console_.err << "The machine waits at the file's stop: " << what << "\n";
    if (resumeAtOnce_) {
        console_.err << "Resuming (--yes).\n";
    } else {
        console_.err << "Press Enter to resume, or Ctrl+C to stop the machine.\n";
        std::string answer;
        if (!console_.in || !std::getline(*console_.in, answer) || stopAsked()) {
            return false;
        }
    }
    started_ = link_.now();
    return true;
}

double PlayConsole::elapsed() {
    if (!started_) {
        return 0;
    }
    return std::chrono::duration<double>(link_.now() - *started_).count();
}

void PlayConsole::draw() {
    const double seconds = elapsed();
    const std::uint64_t total = notes();
    const int filled = total == 0 ? barWidth : int(played_ * barWidth / total);
    console_.err << "\r[" << std::string(std::size_t(filled), '#')
                 << std::string(std::size_t(barWidth - filled), '-') << "] " << played_ << "/"
                 << total << " notes  " << clockText(seconds) << " elapsed  "
                 << clockText(runningSeconds_ - seconds) << " left  " << std::flush;
    drawn_ = true;
}

void PlayConsole::endBar() {
    if (drawn_) {
        console_.err << "\n";
        drawn_ = false;
    }
}

} // namespace chimex
