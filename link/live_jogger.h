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

/// The status of a jogger named `name` that ended live play for `why`.
inline std::string offlineStatus(const std::string& name, const std::string& why) {
    return name + ": not playing live (" + why + ")";
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
