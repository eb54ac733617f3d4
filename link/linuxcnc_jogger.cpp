// SPDX-License-Identifier: MIT
#include "linuxcnc_jogger.h"

#include <algorithm>
#include <cmath>

namespace chimex {
namespace {

/// Polls in a row that must find the position unchanged before a stopped axis counts as still.
constexpr int stillPolls = 2;

LinuxcncPlayerOptions liveOptions(const MachineSettings& ini) {
    LinuxcncPlayerOptions options;
    options.replyWithin = LinuxcncJogger::replyWithin;
    options.joints = ini.joints.value_or(options.joints);
    return options;
}

} // namespace

LinuxcncJogger::LinuxcncJogger(MachineLink& link, std::string name, MachineSettings ini)
    : LiveJogger("LinuxCNC at " + std::move(name)), link_(link), player_(link, liveOptions(ini)),
      ini_(std::move(ini)) {}

void LinuxcncJogger::start(const std::array<double, 3>& settingsTravel, LinkTime deadline) {
    try {
        readTravel(settingsTravel);
        player_.start(deadline); // connected, not in E-stop, on, homed, no program running
        session().set("mode manual", deadline);
        while (session().mode(deadline) != LinuxcncMode::Manual) {
            session().wait(link_.now() + std::chrono::milliseconds(10));
        }
        position_ = session().position(deadline);
    } catch (const LiveRefusal&) {
        throw;
    } catch (const Failure& failure) {
        throw LiveRefusal(name_ + " cannot be played live: " + failure.what());
    }
}

void LinuxcncJogger::readTravel(const std::array<double, 3>& settingsTravel) {
    if (ini_.unit == LengthUnit::Inch) {
        throw LiveRefusal(name_ + " works in inches (the INI's [TRAJ] LINEAR_UNITS): live play "
                                  "jogs in millimetres. Set LINEAR_UNITS = mm, or play offline.");
    }
    for (std::size_t i = 0; i < axes_.size(); ++i) {
        const AxisSettings& axis = ini_.axes[i];
        const double low = axis.travelMin.value_or(0);
        const double travel = axis.travelMax.value_or(low) - low;
        // The settings' travel runs from the low end of the machine's own (MIN_LIMIT).
        const double allowed = settingsTravel[i] > 0 ? std::min(travel, settingsTravel[i]) : 0;
        axes_[i] = {low, low + allowed, axis.accel.value_or(0), axis.fastestSpeed.value_or(0),
                    1 / axis.stepsPerUnit.value_or(1000)};
    }
    if (std::none_of(axes_.begin(), axes_.end(), [](const JogAxis& a) {
            return a.high > a.low && a.accel > 0 && a.fastest > 0;
        })) {
        throw LiveRefusal(name_ + " has no axis live play may move: the INI gives no [AXIS_X] to "
                                  "[AXIS_Z] with MIN_LIMIT below MAX_LIMIT, MAX_VELOCITY and "
                                  "MAX_ACCELERATION, or the settings' travel (MaxX, MaxY, MaxZ) "
                                  "is 0 on every axis.");
    }
}

LinkTime LinuxcncJogger::replyDeadline() const {
    return link_.now() + replyWithin;
}

JogNews LinuxcncJogger::jogHeld() {
    return guarded([this] { return renew(); });
}

JogNews LinuxcncJogger::release() {
    if (!held_ || offline_) {
        return {};
    }
    const std::size_t axis = held_->axis;
    const bool jogged = queueEnd_.has_value();
    held_.reset();
    if (!jogged) {
        return {}; // still waiting for the last note's stop: nothing was sent
    }
    return guarded([this, axis] {
        settling_ = axis;
        stillFor_ = 0;
        session().jogStop(jogAxisLetters[axis], replyDeadline());
        return JogNews{};
    });
}

/// What `work` tells, or what it threw, in words: a refusal ends the note, a lost link live play.
JogNews LinuxcncJogger::guarded(const std::function<JogNews()>& work) {
    try {
        return work();
    } catch (const MachineStopped& stop) {
        const auto axis = held_ ? std::optional(held_->axis) : settling_;
        const JogNews ended{JogNews::NoteEnded, std::string("The note stopped: ") + stop.what()};
        held_.reset();
        if (axis) {
            settling_ = axis;
            stillFor_ = 0;
            return guarded([&] {
                try {
                    session().jogStop(jogAxisLetters[*axis], replyDeadline());
                } catch (const MachineStopped&) {
                    // Refused too: the jog runs to its target, a lease at most.
                }
                return ended;
            });
        }
        return ended;
    } catch (const LinkFailure& failure) {
        // No stop is sent: waiting for its answer would hold the window as long again, and what
        // LinuxCNC holds (a lease at most) runs out on its own.
        offline_ = failure.what();
        held_.reset();
        return offlineNews(*offline_);
    }
}

/// Extends the held note's target so that a lease is queued ahead of the tool, once the last
/// note's axis stands still: a note starts from where the tool stands, never from a stale target.
JogNews LinuxcncJogger::renew() {
    if (!held_ || settling_) {
        return {};
    }
    const std::size_t axis = held_->axis;
    const JogAxis& bounds = axes_[axis];
    const double v = held_->speed;
    JogLease lease;
    double queued = 0;
    if (!queueEnd_) {
        queueEnd_ = position_[axis];
        // The first jog covers the ramp up, so the controller does not start slowing at once.
        lease.queuedSeconds = std::max(lease.queuedSeconds, bounds.stopRoom(v) / v);
    } else {
        queued = std::max(held_->direction * (*queueEnd_ - position_[axis]), 0.0);
    }
    const JogStep step = nextJog(bounds, *held_, *queueEnd_, queued, lease);
    if (step.kind == JogStep::NoRoom) {
        held_.reset();
        settling_ = axis; // it stops at its last target, inside the travel
        stillFor_ = 0;
        return noRoomNews(axis);
    }
    if (step.kind == JogStep::Jog) {
        session().jogIncrement(jogAxisLetters[axis], v, step.length, replyDeadline());
        *queueEnd_ += step.length;
    }
    return {};
}

JogNews LinuxcncJogger::tick() {
    if (offline_) {
        return {};
    }
    return guarded([this] {
        poll();
        return renew();
    });
}

/// Reads the position: the link's heartbeat, the queue's measure and the stop's end.
void LinuxcncJogger::poll() {
    const std::array<double, 3> last = position_;
    position_ = session().position(replyDeadline());
    stillFor_ = position_ == last ? stillFor_ + 1 : 0;
    if (settling_ && stillFor_ >= stillPolls) {
        settling_.reset();
    }
}

void LinuxcncJogger::endJogs() {
    const auto axis = held_ ? std::optional(held_->axis) : settling_;
    held_.reset();
    try {
        if (axis) {
            session().jogStop(jogAxisLetters[*axis], replyDeadline());
        }
    } catch (const Failure&) {
        // Not stopped: what LinuxCNC holds (a lease at most) runs out on its own.
    }
}

std::string LinuxcncJogger::state() const {
    if (held_) {
        return std::string("jogging ") + jogAxisLetters[held_->axis];
    }
    return settling_ ? "stopping" : "ready";
}

} // namespace chimex
