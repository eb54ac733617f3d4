// SPDX-License-Identifier: MIT
#pragma once

#include "motion/jog_planner.h"
#include "platform/machine_link.h"

#include <array>
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
    /// A note starts: jog `note` until release().
    virtual JogNews press(const JogChoice& note) = 0;
    /// The note ends: the machine stops at once.
    virtual JogNews release() = 0;
    /// Reads the controller, renews the held note's jog and watches the link.
    virtual JogNews tick() = 0;
    /// Stops the machine, whatever it does, and plays no more (a closed window, a signal).
    virtual void stop() = 0;
    /// "GRBL on /dev/ttyUSB0: Idle", for the window.
    virtual std::string statusText() const = 0;
};

} // namespace chimex
