// SPDX-License-Identifier: MIT
#pragma once

#include "link/linuxcnc_player.h"
#include "link/live_jogger.h"
#include "machine/machine_settings.h"

#include <functional>
#include <optional>

namespace chimex {

/// Live play on LinuxCNC through linuxcncrsh: each held note jogs by set distances
/// (`jog_incr`), each extending the last target so that about a lease (100 ms of motion) is
/// queued ahead of the tool, never a continuous jog: if this program dies, the axis stops at its
/// last target. A release sends `jog_stop`; the next note starts once the axis stands still.
/// linuxcncrsh cannot tell the travel, so it comes from the machine's INI. A refused jog ends the
/// note; a lost link or 250 ms without a reply ends live play.
class LinuxcncJogger : public LiveJogger {
  public:
    /// `name` names the link in messages ("localhost:5007"); `ini` is the machine's INI, read.
    LinuxcncJogger(MachineLink& link, std::string name, MachineSettings ini);

    void start(const std::array<double, 3>& settingsTravel, LinkTime deadline) override;
    const std::array<JogAxis, 3>& axes() const override { return axes_; }
    std::array<double, 3> position() const override { return position_; }
    JogNews release() override;
    JogNews tick() override;

    /// How long a reply may take while playing.
    static constexpr std::chrono::milliseconds replyWithin{250};

    LinuxcncSession& session() { return player_.session(); }

  private:
    void readTravel(const std::array<double, 3>& settingsTravel);
    JogNews jogHeld() override;
    JogNews renew();
    JogNews guarded(const std::function<JogNews()>& work);
    void poll();
    LinkTime replyDeadline() const;
    void endJogs() override;
    std::string state() const override;

    MachineLink& link_;
    LinuxcncPlayer player_;
    MachineSettings ini_;
    std::array<JogAxis, 3> axes_{};
    std::array<double, 3> position_{};
    std::optional<std::size_t> settling_; ///< the axis stopping from the last note
    int stillFor_ = 0;                    ///< polls in a row that found the position unchanged
};

} // namespace chimex
