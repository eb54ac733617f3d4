// SPDX-License-Identifier: MIT
#pragma once

#include "link/machine_stopped.h"
#include "platform/machine_link.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace chimex {

/// The XOR of `bytes`, as Marlin checks the part of a numbered line before its `*`.
std::uint8_t marlinChecksum(std::string_view bytes);

/// The line as sent: without its `;` comment and outer blanks; empty when nothing is left.
std::string_view marlinCommand(std::string_view line);

/// `N<number> <line>*<checksum>`, the form Marlin checks a line's number and bytes by.
std::string marlinNumberedLine(std::uint64_t number, std::string_view line);

/// What Marlin says while a command keeps it waiting (its host keep-alive, every 2 s by default).
enum class MarlinBusy { Processing, PausedForUser, PausedForInput };

/// Talks to Marlin over a link: lines numbered and checksummed, numbering started again by
/// `M110 N0`, at most `window` lines unanswered. Each line Marlin takes is answered by one `ok`
/// (`ok N12 P15 B3` with ADVANCED_OK); a line it finds damaged or out of order is answered by
/// `Error:` and `Resend: N`, and every line from N on is sent again, once the lines before N
/// are answered.
///
/// Waits end at their deadline, pushed on by each `echo:busy:` line (Marlin is alive, only
/// busy). A wait past it, like a lost link, throws LinkFailure; a kill, a halt, a restart, an
/// endstop hit or another error throws MachineStopped, saying it in words.
class MarlinSession {
  public:
    /// Marlin's command queue (BUFSIZE) commonly holds 4 lines. Three unanswered keep it fed
    /// while leaving a slot spare, so a line never waits in its small serial buffer (bytes past
    /// that are lost) even when an old Marlin's extra `ok` after a resend is taken for a line's.
    static constexpr std::size_t defaultWindow = 3;
    /// How long a wait runs on after each busy line: Marlin's keep-alive interval can be set
    /// (M113) up to a few seconds.
    static constexpr std::chrono::seconds busyGrace{10};

    /// After a resend request, how long to wait for the requests of the lines sent after the
    /// damaged one (they are refused too) before sending again: else each would start a resend.
    static constexpr std::chrono::milliseconds resendSettle{50};

    explicit MarlinSession(MachineLink& link, std::size_t window = defaultWindow);

    /// Starts the numbering with `M110 N0` and waits for its answer. A board that restarts when
    /// the port opens says `start` first and is asked again; its banner is passed over.
    void start(LinkTime deadline);

    /// Sends one line (blanks and a `;` comment left out), first waiting for room in the window;
    /// returns its number. A line holding `*` or a byte Marlin cannot take is refused by a Failure.
    std::uint64_t send(std::string_view line, LinkTime deadline);

    /// Sends one line once all before it are answered, and returns what Marlin said before its
    /// `ok` (the `echo:` lines of `M503`).
    std::vector<std::string> request(std::string_view line, LinkTime deadline);

    /// Waits until every line sent is answered.
    void drain(LinkTime deadline);

    /// Sends a command outside the numbering, as Marlin reads `M108`, `M410` and `M112` the
    /// moment they arrive (its emergency parser) or at least ahead of its queue.
    void sendNow(std::string_view command);

    /// Sends no more numbered lines, not even again when Marlin asks: the machine is stopping.
    void abandon();

    /// Reads and handles what Marlin says until `deadline`.
    void listen(LinkTime deadline);

    /// Called with each busy line, and before every read while waiting (to look at a stop asked
    /// for); either may throw to end the wait.
    std::function<void(MarlinBusy)> onBusy;
    std::function<void()> onWait;

    /// Marlin waits for its user (M0) and has said so since its last `ok`.
    bool pausedForUser() const { return pausedForUser_; }
    std::uint64_t linesSent() const { return program_.size() - 1; }
    std::uint64_t linesAnswered() const { return answered_; }
    /// Lines sent and not answered, the ones sent outside the numbering included.
    std::size_t linesUnanswered() const { return unanswered_.size(); }
    /// A move (G0 to G3) is among the lines sent and not answered.
    bool movesUnanswered() const;
    /// Moves Marlin's planner may still hold: from ADVANCED_OK's `P` where Marlin gives it,
    /// else the moves answered since the last line that waits for them, `plannerMoves` at most.
    int plannerMovesHeld(int plannerMoves) const;

  private:
    /// A line waiting for its `ok`, by number; none for one sent outside the numbering.
    using Awaited = std::optional<std::uint64_t>;

    void transmit(std::uint64_t number);
    void transmitDue();
    void waitUntil(const std::function<bool()>& done, LinkTime deadline, std::string_view what);
    bool pumpUntil(const std::function<bool()>& done, LinkTime deadline);
    bool handleReceived(const std::function<bool()>& done);
    void handle(std::string_view line);
    void answer(std::string_view line);
    void askResend(std::string_view line);
    void busy(MarlinBusy kind);
    [[noreturn]] void stopped(std::string_view line);

    MachineLink& link_;
    std::size_t window_;
    std::string received_;
    std::vector<std::string> program_; ///< every numbered line's text, [0] being M110's
    std::deque<Awaited> unanswered_;
    std::uint64_t transmitted_ = 0; ///< lines up to this one were sent in order since a resend
    std::uint64_t answered_ = 0;    ///< the last numbered line answered
    bool starting_ = false;
    bool abandoned_ = false;
    bool pausedForUser_ = false;
    LinkTime busyUntil_{};
    LinkTime resendAfter_{};
    std::vector<std::string>* collecting_ = nullptr;
    int plannerFree_ = -1;
    int plannerMostFree_ = -1;
};

} // namespace chimex
