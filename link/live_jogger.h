// SPDX-License-Identifier: MIT
#pragma once

#include "motion/jog_planner.h"
#include "platform/machine_link.h"

#include <array>
#include <optional>
#include <string>

namespace chimex {

/// Live play refused before it starts: the message says which check failed and how to fix it.
class LiveRefusal : public Failure {
  public:
    explicit LiveRefusal(const std::string& message) : Failure(message) {}
};

/// What a jogger has to tell after a press or a tick.
struct JogNews {
    enum Kind {
        None,
        NoteEnded, ///< the held note's jog stopped of itself (the travel's end, a refused jog)
        Offline,   ///< the machine can no longer be played live (a lost link, an alarm)
    } kind = None;
    std::string message;
};

/// X, Y, Z: the letters jogs and messages name the axes by.
inline constexpr std::array<char, 3> jogAxisLetters{'X', 'Y', 'Z'};

/// A held note that reached the end of its axis's room, short of the travel's end.
inline JogNews noRoomNews(std::size_t axis) {
    return {JogNews::NoteEnded, std::string("The ") + jogAxisLetters[axis] +
                                    " axis has no more room this way: the note stopped at the "
                                    "end of its travel."};
}

/// Live play has ended for `why`; the tune goes on.
inline JogNews offlineNews(const std::string& why) {
    return {JogNews::Offline, why + ". The program plays on without the machine."};
}

/// Plays a machine's controller live, one held note at a time, in short leases of motion that a
/// held key renews: whatever goes wrong, at most a lease's worth runs on. Driven from one thread:
/// press and release at once from the key's event, tick every 10 to 20 ms.
class LiveJogger {
  public:
    virtual ~LiveJogger() = default;
    /// Connects and checks the machine is ready: homed, idle, its travel known. `settingsTravel`
    /// (X, Y, Z lengths from the travel's low end; 0 or less keeps an axis still) bounds the
    /// machine's own travel. Throws LiveRefusal.
    virtual void start(const std::array<double, 3>& settingsTravel, LinkTime deadline) = 0;
    /// The axes as they may be jogged, and the tool's machine position, for chooseJog().
    virtual const std::array<JogAxis, 3>& axes() const = 0;
    virtual std::array<double, 3> position() const = 0;
    /// A note starts: jog `note` until release(). The note before, if any, is released first.
    JogNews press(const JogChoice& note) {
        if (offline_) {
            return {};
        }
        if (const JogNews news = release(); news.kind == JogNews::Offline) {
            return news;
        }
        held_ = note;
        queueEnd_.reset();
        return jogHeld();
    }
    /// The note ends: the machine stops at once.
    virtual JogNews release() = 0;
    /// Reads the controller, renews the held note's jog and watches the link.
    virtual JogNews tick() = 0;
    /// Stops the machine, whatever it does, and plays no more (a closed window, a signal).
    void stop() {
        release();
        if (!offline_) {
            offline(name_ + " stopped");
        }
    }
    /// "GRBL on /dev/ttyUSB0: Idle", for the window.
    std::string statusText() const {
        return offline_ ? name_ + ": not playing live (" + *offline_ + ")" : name_ + ": " + state();
    }

  protected:
    /// `name` names the controller and its link in messages: "GRBL on /dev/ttyUSB0".
    explicit LiveJogger(std::string name) : name_(std::move(name)) {}

    /// Live play ends for `why`: the held note and the jogs the controller holds are given up.
    JogNews offline(const std::string& why) {
        offline_ = why;
        endJogs();
        return offlineNews(why);
    }
    /// Sends the held note's first jog.
    virtual JogNews jogHeld() = 0;
    /// Forgets the held note and stops what the controller still jogs, as far as the link lets.
    virtual void endJogs() = 0;
    /// The controller's state while live play goes on: "Idle", "jogging X".
    virtual std::string state() const = 0;

    const std::string name_;
    std::optional<std::string> offline_; ///< why live play ended
    std::optional<JogChoice> held_;      ///< the note held, if any
    std::optional<double> queueEnd_;     ///< the held note's last jog target, a machine coordinate
};

} // namespace chimex
