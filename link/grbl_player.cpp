// SPDX-License-Identifier: MIT
#include "grbl_player.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace chimex {

namespace {

using std::chrono::milliseconds;

constexpr milliseconds statusEvery{200};    ///< 5 reports a second, as GRBL suggests at most
constexpr milliseconds statusSilence{2000}; ///< no report this long: the link counts as lost
constexpr milliseconds listenStep{20};
constexpr milliseconds sendLimit{1000};
constexpr milliseconds holdLimit{5000}; ///< the longest a feed hold may take to stop the machine
constexpr milliseconds resetLimit{5000};

/// True when the wire line starts with the word `word` ("G4" matches "G4P2", not "G40").
bool startsWithWord(std::string_view wire, std::string_view word) {
    return wire.starts_with(word) && (wire.size() == word.size() ||
                                      !std::isdigit(static_cast<unsigned char>(wire[word.size()])));
}

/// What the comment lines just before the program's stop say, in one line.
std::string pauseText(const std::vector<std::string>& lines, std::size_t pause) {
    std::string text;
    for (std::size_t i = pause; i > 0; --i) {
        const std::string& line = lines[i - 1];
        if (line.size() < 2 || line.front() != '(' || line.back() != ')') {
            break;
        }
        text = line.substr(1, line.size() - 2) + (text.empty() ? "" : " ") + text;
    }
    return text.empty() ? "the program's stop (M0)" : text;
}

} // namespace

GrblPlayer::GrblPlayer(MachineLink& link) : link_(link), session_(link) {}

std::string GrblPlayer::start(LinkTime deadline) {
    connect(deadline);
    refuseUnready(session_.status(deadline));
    return settingsReport(deadline);
}

std::string GrblPlayer::readSettings(LinkTime deadline) {
    connect(deadline);
    return settingsReport(deadline);
}

void GrblPlayer::connect(LinkTime deadline) {
    const GrblBuildInfo info = session_.start(deadline);
    plannerBlocks_ = info.plannerBlocks;
    fill_.blocks = info.plannerBlocks;
}

/// GRBL answers `$$` in any state, alarm included.
std::string GrblPlayer::settingsReport(LinkTime deadline) {
    std::string report;
    for (const std::string& line : session_.request("$$", deadline)) {
        report += line + "\n";
    }
    return report;
}

void GrblPlayer::refuseUnready(const GrblStatus& status) const {
    if (status.state == GrblState::Alarm) {
        MachineStopped alarm("the machine is in alarm: home it ($H), or unlock it ($X) if you "
                             "know its position is right, then play again");
        alarm.alarm = true;
        throw alarm;
    }
    if (status.state == GrblState::Door) {
        throw MachineStopped("the machine's safety door is open: close it, then play again");
    }
    if (status.state != GrblState::Idle) {
        throw MachineStopped("the machine is busy (running, jogging, homing or holding): let it "
                             "finish or reset it, then play again");
    }
}

void GrblPlayer::play(const std::vector<std::string>& lines, PlayWatcher& watcher) {
    sent_.clear();
    finished_ = 0;
    next_ = 0;
    programSize_ = lines.size();
    noteSent_ = false;
    fill_ = PlannerFill{};
    fill_.blocks = plannerBlocks_;
    firstNumber_ = session_.linesSent();
    session_.onStatus = [this](const GrblStatus& status) {
        noteStatus(status);
    };
    session_.watchStatus(statusEvery, statusSilence);
    try {
        stream(lines, watcher);
    } catch (MachineStopped& stopped) {
        alarmed_ = stopped.alarm;
        if (stopped.sentLine > firstNumber_ && stopped.sentLine - firstNumber_ <= sent_.size()) {
            stopped.sentLine = sent_[stopped.sentLine - firstNumber_ - 1].index + 1;
        }
        throw;
    }
}

void GrblPlayer::stream(const std::vector<std::string>& lines, PlayWatcher& watcher) {
    while (!watcher.stopAsked()) {
        sendWhileRoom(lines);
        if (atPause()) {
            if (!resumeFromPause(lines, watcher)) {
                return;
            }
            continue;
        }
        if (next_ == lines.size() && allAnswered() && standsIdle()) {
            finished_ = lines.size();
            watcher.progress(finished_);
            return;
        }
        session_.listen(link_.now() + listenStep);
        tellProgress(watcher);
    }
}

/// Sends the program's next lines while GRBL's receive buffer has room for them.
void GrblPlayer::sendWhileRoom(const std::vector<std::string>& lines) {
    const std::size_t room = std::size_t(session_.receiveBytes() - 1);
    for (; next_ < lines.size(); ++next_) {
        const std::string wire = grblWireLine(lines[next_]);
        if (wire.empty()) {
            continue;
        }
        if (session_.bytesUnanswered() + wire.size() + 1 > room) {
            return;
        }
        session_.send(lines[next_], link_.now() + sendLimit);
        const bool pause = startsWithWord(wire, "M0");
        const bool dwell = pause || startsWithWord(wire, "G4") || startsWithWord(wire, "M2") ||
                           startsWithWord(wire, "M30");
        sent_.push_back({next_, dwell, pause});
        noteSent_ = noteSent_ || startsWithWord(wire, "G1");
    }
}

bool GrblPlayer::allAnswered() const {
    return session_.linesAnswered() == session_.linesSent();
}

/// The oldest line GRBL has not answered, or null when it answered all.
const GrblPlayer::Sent* GrblPlayer::oldestUnanswered() const {
    const std::size_t answered = session_.linesAnswered() - firstNumber_;
    return answered < sent_.size() ? &sent_[answered] : nullptr;
}

/// GRBL holds at the program's stop, which it has not answered yet: it waits for a cycle start.
bool GrblPlayer::atPause() const {
    const Sent* oldest = oldestUnanswered();
    const auto& status = session_.lastStatus();
    return oldest && oldest->pause && oldest->index != resumedPause_ && status &&
           status->state == GrblState::Hold && status->subState == 0;
}

bool GrblPlayer::resumeFromPause(const std::vector<std::string>& lines, PlayWatcher& watcher) {
    const std::size_t pause = oldestUnanswered()->index;
    const bool resume = watcher.paused(pauseText(lines, pause));
    session_.watchStatus(statusEvery, statusSilence); // no report was asked for meanwhile
    if (!resume || watcher.stopAsked()) {
        return false;
    }
    resumedPause_ = pause;
    session_.realTime(GrblRealTime::CycleStart);
    return true;
}

/// The last status report came after every line was answered, and says GRBL is idle.
bool GrblPlayer::standsIdle() const {
    const auto& status = session_.lastStatus();
    return status && status->state == GrblState::Idle &&
           answeredAtReport_ == session_.linesAnswered();
}

void GrblPlayer::noteStatus(const GrblStatus& status) {
    answeredAtReport_ = session_.linesAnswered();
    usedAtReport_ = status.state == GrblState::Idle ? 0 : plannerBlocks_;
    if (status.plannerBlocksFree) {
        usedAtReport_ = std::max(0, plannerBlocks_ - *status.plannerBlocksFree);
        noteFill(*status.plannerBlocksFree);
    }
}

/// Counts the report while the tune's notes are queued, from its first note to its last line. An
/// empty planner is dry unless a dwell waits (G4, M0, M2 let it run empty by rule), and the
/// reports then are left out of the fill.
void GrblPlayer::noteFill(int free) {
    const Sent* oldest = oldestUnanswered();
    if (!noteSent_ || (!oldest && next_ == programSize_)) {
        return;
    }
    ++fill_.reports;
    if (oldest && oldest->dwell) {
        return;
    }
    fill_.mostFree = std::max(fill_.mostFree.value_or(free), free);
    if (free >= plannerBlocks_) {
        ++fill_.dryReports;
    }
}

/// The program lines the machine has surely finished: those answered, less the lines that may
/// still be in the planner (as many as the last report said, plus every line answered since).
void GrblPlayer::tellProgress(PlayWatcher& watcher) {
    const std::size_t answered = session_.linesAnswered() - firstNumber_;
    const std::size_t since = session_.linesAnswered() - answeredAtReport_;
    const std::size_t queued = std::size_t(usedAtReport_) + since;
    const std::size_t done = answered > queued ? answered - queued : 0;
    const std::size_t lines = done == 0 ? 0 : sent_[done - 1].index + 1;
    if (lines > finished_) {
        finished_ = lines;
        watcher.progress(finished_);
    }
}

std::string GrblPlayer::stop() {
    // After an alarm GRBL has stopped already, and hears nothing but a reset.
    if (!std::exchange(alarmed_, false)) {
        session_.watchStatus(statusEvery, statusSilence);
        session_.realTime(GrblRealTime::FeedHold);
        try {
            waitForRest();
        } catch (const MachineStopped&) {
            // An alarm or a reply we cannot read: the reset below stops the machine all the same.
        }
    }
    session_.watchStatus(milliseconds(0), milliseconds(0));
    session_.reset(link_.now() + resetLimit);
    return "the machine was stopped (feed hold, then soft reset): home it again ($H) before "
           "playing, as its position may be lost";
}

/// Waits, at most holdLimit, until the feed hold has brought the machine to rest.
void GrblPlayer::waitForRest() {
    const LinkTime deadline = link_.now() + holdLimit;
    while (link_.now() < deadline) {
        const GrblStatus status = session_.status(deadline);
        const bool held = status.state == GrblState::Hold && status.subState == 0;
        if (held || status.state == GrblState::Idle || status.state == GrblState::Alarm ||
            status.state == GrblState::Door) {
            return;
        }
        session_.listen(std::min(deadline, link_.now() + listenStep * 5));
    }
}

} // namespace chimex
