// SPDX-License-Identifier: MIT
#include "marlin_player.h"

#include <algorithm>
#include <cctype>

namespace chimex {

namespace {

/// The user asked to stop (a signal, or declining to go on at the pause).
struct StopAsked {};

/// A line of Marlin's M503 report: `echo:` text, or a command where the prefix is left out.
bool isReportLine(std::string_view line) {
    return line.starts_with("echo:") || (line.size() > 1 && (line[0] == 'M' || line[0] == 'G') &&
                                         std::isdigit(static_cast<unsigned char>(line[1])));
}

} // namespace

MarlinPlayer::MarlinPlayer(MachineLink& link) : link_(link), session_(link) {}

LinkTime MarlinPlayer::in(std::chrono::seconds wait) const {
    return link_.now() + wait;
}

std::string MarlinPlayer::start(LinkTime deadline) {
    session_.start(deadline);
    std::string report;
    for (const std::string& line : session_.request("M503", deadline)) {
        if (isReportLine(line)) {
            report += line + "\n";
        }
    }
    return report;
}

void MarlinPlayer::play(const std::vector<std::string>& lines, PlayWatcher& watcher) {
    firstNumber_ = session_.linesSent() + 1;
    programLineOf_.clear();
    reported_ = 0;
    pauseTold_ = false;
    try {
        playWatched(lines, watcher);
    } catch (const StopAsked&) {
        // The machine still runs: the caller stops it.
    }
}

/// The session tells the watcher while the lines play, and only then.
void MarlinPlayer::playWatched(const std::vector<std::string>& lines, PlayWatcher& watcher) {
    struct Watching {
        MarlinSession& session;
        ~Watching() {
            session.onWait = nullptr;
            session.onBusy = nullptr;
        }
    } watching{session_};
    session_.onWait = [&] {
        watch(watcher);
    };
    session_.onBusy = [&](MarlinBusy kind) {
        if (kind == MarlinBusy::PausedForUser) {
            pausedFor(watcher);
        }
    };
    sendAll(lines, watcher);
}

void MarlinPlayer::sendAll(const std::vector<std::string>& lines, PlayWatcher& watcher) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!marlinCommand(lines[i]).empty()) {
            session_.send(lines[i], in(answerWithin));
            programLineOf_.push_back(i);
            reportProgress(watcher);
        }
    }
    session_.drain(in(answerWithin));
    session_.request("M400", in(endWithin));
    if (reported_ < lines.size()) {
        watcher.progress(lines.size());
    }
}

void MarlinPlayer::watch(PlayWatcher& watcher) {
    if (watcher.stopAsked()) {
        throw StopAsked{};
    }
    if (!session_.pausedForUser()) {
        pauseTold_ = false;
        pausedLines_ = 0;
    }
    reportProgress(watcher);
}

/// First tells the watcher what Marlin waits for; if Marlin still waits after M108, it was
/// built without its emergency parser and only its button ends the pause.
void MarlinPlayer::pausedFor(PlayWatcher& watcher) {
    if (pauseTold_ && ++pausedLines_ != 2) {
        return;
    }
    const bool first = !pauseTold_;
    pauseTold_ = true;
    const bool resume =
        first ? watcher.paused("Marlin waits at the program's stop (M0) for its user")
              : watcher.paused("Marlin did not take M108 (it is built without its emergency "
                               "parser): press the button on its display to go on");
    if (!resume) {
        throw StopAsked{};
    }
    if (first) {
        session_.sendNow("M108");
    }
}

/// Lines answered are planned, not yet played: as many as the planner may hold are not counted.
void MarlinPlayer::reportProgress(PlayWatcher& watcher) {
    const std::uint64_t answered = session_.linesAnswered();
    const auto held = std::uint64_t(session_.plannerMovesHeld(plannerMoves));
    if (answered < firstNumber_ + held) {
        return;
    }
    const std::uint64_t sent = answered - held - firstNumber_; // index of the last line finished
    const std::uint64_t finished =
        programLineOf_[std::min<std::size_t>(sent, programLineOf_.size() - 1)] + 1;
    if (finished > reported_) {
        reported_ = finished;
        watcher.progress(finished);
    }
}

/// Marlin says it halted (or restarted) within a moment of M112.
bool MarlinPlayer::halted() {
    try {
        session_.listen(in(std::chrono::seconds(2)));
    } catch (const MachineStopped&) {
        return true;
    }
    return false;
}

std::string MarlinPlayer::stop() {
    const std::string homeAgain = "home the machine again before playing";
    session_.abandon();
    try {
        if (!session_.movesUnanswered()) {
            // Stops the steppers at once, without slowing down: steps may slip at speed.
            session_.sendNow("M410");
            try {
                session_.drain(in(std::chrono::seconds(2)));
                return "Marlin stopped its moves at once, without slowing down, so its motors "
                       "may have slipped: " +
                       homeAgain;
            } catch (const LinkFailure&) {
                // M410 not heard while a command waits: only the kill below is sure to stop it.
            }
        }
        // Moves Marlin still holds in its queue would run after M410: the kill ends them.
        session_.sendNow("M112");
        if (!halted()) {
            return "Marlin did not say it halted on M112 (without its emergency parser it hears "
                   "it only once the command it runs ends): press its reset button or switch it "
                   "off, then " +
                   homeAgain;
        }
        return "Marlin was halted (M112) to stop the lines it still held, its motors off: reset "
               "it (its reset button or a power cycle), then " +
               homeAgain;
    } catch (const LinkFailure& lost) {
        return std::string(lost.what()) + ": Marlin may still be moving; switch it off, then " +
               homeAgain;
    } catch (const MachineStopped& stopped) {
        return std::string(stopped.what());
    }
}

} // namespace chimex
