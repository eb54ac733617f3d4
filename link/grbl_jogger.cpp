// SPDX-License-Identifier: MIT
#include "grbl_jogger.h"

#include "machine/machine_settings.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace chimex {
namespace {

constexpr std::array<const char*, 9> stateNames{"Idle", "Run",   "Hold", "Jog",  "Alarm",
                                                "Door", "Check", "Home", "Sleep"};
/// The status reports that may pass before GRBL sends its work offset (WCO) again.
constexpr int reportsUntilOffset = 35;

/// The value of `$number` in a `$$` report's lines; nothing when it is not there.
std::optional<double> settingIn(const std::vector<std::string>& lines, int number) {
    const std::string prefix = "$" + std::to_string(number) + "=";
    for (const auto& line : lines) {
        if (line.starts_with(prefix)) {
            return std::strtod(line.c_str() + prefix.size(), nullptr);
        }
    }
    return std::nullopt;
}

std::string jogLine(std::size_t axis, double target, double speed) {
    char line[96];
    std::snprintf(line, sizeof line, "$J=G21G53%c%.3fF%.3f", jogAxisLetters[axis], target,
                  speed * 60);
    return line;
}

double secondsOf(LinkTime::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

} // namespace

GrblJogger::GrblJogger(MachineLink& link, std::string name)
    : LiveJogger("GRBL on " + std::move(name)), link_(link), session_(link) {
    session_.onStatus = [this](const GrblStatus& status) {
        reportAt_ = link_.now();
        askedAt_.reset();
        if (status.state == GrblState::Idle) {
            settling_ = false;
        }
    };
}

void GrblJogger::start(const std::array<double, 3>& settingsTravel, LinkTime deadline) {
    try {
        session_.start(deadline);
        checkReady(deadline);
        readTravel(settingsTravel, deadline);
        findPosition(deadline);
    } catch (const LiveRefusal&) {
        throw;
    } catch (const Failure& failure) {
        throw LiveRefusal(name_ + " cannot be played live: " + failure.what());
    }
}

void GrblJogger::checkReady(LinkTime deadline) {
    const GrblState state = session_.status(deadline).state;
    if (state == GrblState::Alarm) {
        throw LiveRefusal(name_ + " is in alarm: it has not been homed since it was switched on "
                                  "or reset. Home the machine: send $H (your sender's homing "
                                  "button), then start the program again.");
    }
    if (state != GrblState::Idle) {
        throw LiveRefusal(name_ + " is busy (" + stateNames[std::size_t(state)] +
                          "): let it finish or stop it, then start the program again when it "
                          "stands idle.");
    }
}

void GrblJogger::readTravel(const std::array<double, 3>& settingsTravel, LinkTime deadline) {
    const auto lines = session_.request("$$", deadline);
    if (settingIn(lines, 20) != 1.0 || settingIn(lines, 22) != 1.0) {
        throw LiveRefusal(name_ + " does not check moves against its travel: live play needs "
                                  "homing and soft limits on. Send $22=1 and $20=1, home the "
                                  "machine ($H), then start the program again.");
    }
    if (settingIn(lines, 13) == 1.0) {
        throw LiveRefusal(name_ + " reports in inches ($13=1): send $13=0, then start the "
                                  "program again.");
    }
    std::stringstream report;
    for (const auto& line : lines) {
        report << line << "\n";
    }
    const MachineSettings machine = readMachineSettings(report, "GRBL's $$ report");
    for (std::size_t i = 0; i < axes_.size(); ++i) {
        const AxisSettings& axis = machine.axes[i];
        const double travel = axis.travelMax.value_or(0);
        // Machine space after homing runs from -travel to 0; the settings' travel from its low end.
        const double allowed = settingsTravel[i] > 0 ? std::min(travel, settingsTravel[i]) : 0;
        axes_[i] = {-travel, -travel + allowed, axis.accel.value_or(0),
                    axis.fastestSpeed.value_or(0), 1 / axis.stepsPerUnit.value_or(1000)};
    }
    if (std::none_of(axes_.begin(), axes_.end(), [](const JogAxis& a) { return a.high > a.low; })) {
        throw LiveRefusal(name_ + " has no axis live play may move: the travel GRBL reports "
                                  "($130 to $132) or the settings' travel (MaxX, MaxY, MaxZ) is "
                                  "0 on every axis.");
    }
}

void GrblJogger::findPosition(LinkTime deadline) {
    for (int report = 0; report < reportsUntilOffset && !session_.machinePosition(); ++report) {
        session_.status(deadline);
    }
    if (!session_.machinePosition()) {
        throw LiveRefusal(name_ + " reports work positions without their offset: send $10=1 "
                                  "(machine positions), then start the program again.");
    }
}

std::array<double, 3> GrblJogger::position() const {
    return session_.machinePosition().value_or(AxisValues{});
}

JogNews GrblJogger::jogHeld() {
    return guarded([this] { return renew(); });
}

JogNews GrblJogger::release() {
    if (!held_ || offline_) {
        return {};
    }
    held_.reset();
    return guarded([this] {
        cancel();
        return JogNews{};
    });
}

/// What `work` tells, or what it threw, in words: a refusal ends the note, an alarm or a lost
/// link live play.
JogNews GrblJogger::guarded(const std::function<JogNews()>& work) {
    try {
        return work();
    } catch (const MachineStopped& stop) {
        return stopped(stop);
    } catch (const LinkFailure& failure) {
        return offline(failure.what());
    }
}

void GrblJogger::cancel() {
    settling_ = true;
    lateCancel_ = session_.bytesUnanswered() > 0;
    session_.realTime(GrblRealTime::JogCancel);
}

/// One jog line unanswered at most, and none while the machine still stops from the last note:
/// a new note starts from where it stands.
JogNews GrblJogger::renew() {
    if (!held_ || settling_ || session_.bytesUnanswered() > 0) {
        return {};
    }
    const std::size_t axis = held_->axis;
    if (!queueEnd_) {
        queueEnd_ = position()[axis];
    }
    const JogStep step = nextJog(axes_[axis], *held_, *queueEnd_, queued());
    if (step.kind == JogStep::NoRoom) {
        held_.reset();
        return noRoomNews(axis);
    }
    if (step.kind == JogStep::Jog) {
        const double target = std::round((*queueEnd_ + step.length) * 1000) / 1000;
        session_.send(jogLine(axis, target, held_->speed), link_.now());
        queueEnd_ = target;
    }
    return {};
}

/// What is queued ahead of the tool: the last report's position carried on at the speed it
/// reported, never faster than the note, so that a machine still ramping up is not overtaken.
double GrblJogger::queued() const {
    const double at = position()[held_->axis];
    double left = held_->direction * (*queueEnd_ - at);
    if (const auto& status = session_.lastStatus(); status && status->state == GrblState::Jog) {
        const double speed = std::min(held_->speed, status->feedPerMinute / 60);
        left -= speed * secondsOf(link_.now() - reportAt_);
    }
    return std::max(left, 0.0);
}

JogNews GrblJogger::tick() {
    if (offline_) {
        return {};
    }
    return guarded([this] {
        askStatusIfDue(link_.now());
        session_.listen(link_.now() + std::chrono::milliseconds(1));
        if (askedAt_ && link_.now() - *askedAt_ > silenceLimit) {
            return offline(name_ + " sent no status report for " +
                           std::to_string(silenceLimit.count()) + " ms");
        }
        if (lateCancel_ && session_.bytesUnanswered() == 0) {
            // The jog that was still in GRBL's receive buffer at release has been taken: stop it.
            lateCancel_ = false;
            session_.realTime(GrblRealTime::JogCancel);
        }
        return renew();
    });
}

void GrblJogger::askStatusIfDue(LinkTime now) {
    // While the machine stops from a note, asked at every tick: the next note waits for it.
    if (now - lastAsked_ >= (settling_ ? settlingStatusEvery : statusEvery)) {
        session_.realTime(GrblRealTime::StatusQuery);
        lastAsked_ = now;
        if (!askedAt_) {
            askedAt_ = now;
        }
    }
}

JogNews GrblJogger::stopped(const MachineStopped& stop) {
    if (stop.alarm || stop.sentLine == 0) {
        return offline(std::string(stop.what()) +
                       (stop.alarm ? ". Home the machine ($H) and start the program again to "
                                     "play it live"
                                   : ""));
    }
    // A refused jog moved nothing; the jogs before it are stopped with it.
    held_.reset();
    return guarded([&] {
        cancel();
        return JogNews{JogNews::NoteEnded, std::string("The note stopped: ") + stop.what() + "."};
    });
}

void GrblJogger::endJogs() {
    held_.reset();
    try {
        session_.realTime(GrblRealTime::JogCancel);
    } catch (const LinkFailure&) {
        // The link is gone: what GRBL holds (a lease at most) runs out on its own.
    }
}

std::string GrblJogger::state() const {
    const auto& status = session_.lastStatus();
    return status ? stateNames[std::size_t(status->state)] : "connecting";
}

} // namespace chimex
