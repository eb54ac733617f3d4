// SPDX-License-Identifier: MIT
#pragma once

#include "link/grbl_replies.h"
#include "link/machine_stopped.h"
#include "platform/machine_link.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace chimex {

/// Talks to GRBL 1.1 over a link: lines are sent by character counting against GRBL's receive
/// buffer (never more bytes unanswered than it holds) and answered in order by `ok` or
/// `error:N`; real-time commands go at once, outside the count.
///
/// Every wait ends at a deadline on the link's clock. A wait that runs past it, like a lost link,
/// throws LinkFailure; an error, an alarm, an unexpected reset or a reply not understood throws
/// MachineStopped, saying it in words. Lines already sent stay in GRBL's buffer and still run:
/// the caller stops the machine (feed hold, then reset) before telling the user.
class GrblSession {
  public:
    explicit GrblSession(MachineLink& link);

    /// Waits for GRBL's welcome, or for a status report from a GRBL already running, then reads
    /// `$I`: its receive buffer replaces the 128 bytes assumed until then. Throws MachineStopped
    /// for a GRBL older than 1.1.
    GrblBuildInfo start(LinkTime deadline);

    /// Sends one line, first waiting until GRBL's receive buffer has room for it; returns its
    /// number (1 for the first line sent). The line is sent as grblWireLine() gives it; one that
    /// holds a real-time command or exceeds the buffer is refused by a Failure.
    std::uint64_t send(std::string_view line, LinkTime deadline);

    /// Sends one line once all before it are answered, and returns the lines GRBL answered it
    /// with before its `ok`: the `$x=value` lines of `$$`, the `[VER:]` and `[OPT:]` of `$I`.
    std::vector<std::string> request(std::string_view line, LinkTime deadline);

    /// Waits until every line sent is answered.
    void drain(LinkTime deadline);

    /// Asks for a status report and waits for it.
    GrblStatus status(LinkTime deadline);

    /// Sends a real-time command at once (a soft reset through reset()).
    void realTime(GrblRealTime command);

    /// Soft reset: GRBL drops every line it holds and starts again. Waits for its welcome and a
    /// status report; true when it is then in alarm (reset while moving, or homing required).
    bool reset(LinkTime deadline);

    /// Reads and handles what GRBL says until `deadline`.
    void listen(LinkTime deadline);

    /// While waiting, asks for a status report every `every` (at most 5 a second suit GRBL), and
    /// counts the link lost when none came for `silence`. A zero `every` stops asking.
    void watchStatus(std::chrono::milliseconds every, std::chrono::milliseconds silence);

    /// Called with every status report and every `[MSG:]` text.
    std::function<void(const GrblStatus&)> onStatus;
    std::function<void(std::string_view)> onMessage;

    const std::optional<GrblStatus>& lastStatus() const { return lastStatus_; }
    /// The machine position of the last report (WPos plus the last work offset given).
    std::optional<AxisValues> machinePosition() const;
    int receiveBytes() const { return receiveBytes_; }
    std::size_t bytesUnanswered() const { return bytesUnanswered_; }
    std::uint64_t linesSent() const { return linesSent_; }
    std::uint64_t linesAnswered() const { return linesSent_ - unanswered_.size(); }

  private:
    enum class Greeting { None, Start, Reset };
    struct SentLine {
        std::uint64_t number;
        std::string text;
    };

    void waitUntil(const std::function<bool()>& done, LinkTime deadline, std::string_view what);
    bool pumpUntil(const std::function<bool()>& done, LinkTime deadline);
    bool handleReceived(const std::function<bool()>& done);
    void handle(std::string_view line);
    void handleGreeting(const GrblReply& reply);
    void dropUnanswered();
    void answer(const GrblReply& reply);
    void takeStatus(std::string_view line);
    LinkTime readDeadline(LinkTime deadline);
    void askStatusIfDue(LinkTime now);
    std::string checkedWireLine(std::string_view line) const;

    MachineLink& link_;
    std::string received_;
    std::deque<SentLine> unanswered_;
    std::size_t bytesUnanswered_ = 0;
    std::uint64_t linesSent_ = 0;
    int receiveBytes_ = 128;
    Greeting greeting_ = Greeting::None;
    std::vector<std::string>* collecting_ = nullptr;

    std::optional<GrblStatus> lastStatus_;
    std::optional<AxisValues> lastOffset_;
    std::uint64_t statusCount_ = 0;
    std::chrono::milliseconds statusEvery_{0};
    std::chrono::milliseconds silence_{0};
    LinkTime lastAsked_{};
    LinkTime lastReport_{};
};

} // namespace chimex
