// SPDX-License-Identifier: MIT
#pragma once

#include "link/grbl_session.h"
#include "link/live_jogger.h"

#include <functional>
#include <optional>

namespace chimex {

/// Live play on GRBL 1.1: each held note jogs with `$J=` lines to absolute machine coordinates,
/// one line unanswered at a time and at most a lease (100 ms of motion) queued, so that a jog
/// cancel (0x85) at release finds no line waiting in GRBL's receive buffer to run after it. A
/// refused jog ends the note; an alarm, a lost link or 250 ms without a status report stops the
/// machine and ends live play.
class GrblJogger : public LiveJogger {
  public:
    /// `name` names the link in messages: "/dev/ttyUSB0".
    GrblJogger(MachineLink& link, std::string name);

    void start(const std::array<double, 3>& settingsTravel, LinkTime deadline) override;
    const std::array<JogAxis, 3>& axes() const override { return axes_; }
    std::array<double, 3> position() const override;
    JogNews release() override;
    JogNews tick() override;

    /// How often a status report is asked for, and how long one may be missing.
    static constexpr std::chrono::milliseconds statusEvery{40};
    static constexpr std::chrono::milliseconds settlingStatusEvery{10};
    static constexpr std::chrono::milliseconds silenceLimit{250};

    const GrblSession& session() const { return session_; }

  private:
    void checkReady(LinkTime deadline);
    void readTravel(const std::array<double, 3>& settingsTravel, LinkTime deadline);
    void findPosition(LinkTime deadline);
    JogNews jogHeld() override;
    JogNews renew();
    JogNews guarded(const std::function<JogNews()>& work);
    double queued() const;
    void cancel();
    void endJogs() override;
    std::string state() const override;
    JogNews stopped(const MachineStopped& stop);
    void askStatusIfDue(LinkTime now);

    MachineLink& link_;
    GrblSession session_;
    std::array<JogAxis, 3> axes_{};
    bool lateCancel_ = false; ///< a jog line was unanswered at release: cancel it once taken
    bool settling_ = false;   ///< cancelled: no new jog until a report says Idle
    LinkTime reportAt_{};
    std::optional<LinkTime> askedAt_; ///< the oldest status query still unanswered
    LinkTime lastAsked_{};
};

} // namespace chimex
