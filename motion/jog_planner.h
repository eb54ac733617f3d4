// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>
#include <optional>

namespace chimex {

/// One axis as live play may jog it, in the controller's length unit (mm) and seconds. `low` and
/// `high` are the machine coordinates the tool may reach: the machine's own travel and the
/// settings' travel, both.
struct JogAxis {
    double low = 0;
    double high = 0;
    double accel = 0;    ///< units/s², above 0
    double fastest = 0;  ///< units/s: a note faster than this would sound flat
    double step = 0.001; ///< units of one motor step, the shortest jog
    double stopRoom(double speed) const { return speed * speed / (2 * accel); }
};

/// The held note's jog: axis 0 to 2 (X, Y, Z), direction +1 or -1, speed in units/s.
struct JogChoice {
    std::size_t axis = 0;
    int direction = 1;
    double speed = 0;
};

/// How much motion may wait in the controller: the most queued ahead of the tool (the dead man's
/// hold: a program that dies leaves at most this much to run), and when to renew.
struct JogLease {
    double queuedSeconds = 0.1;
    double renewSeconds = 0.05;
};

/// What to do for a held note now.
struct JogStep {
    enum Kind { Wait, Jog, NoRoom } kind = Wait;
    double length = 0; ///< signed, for Jog: the relative move to send
};

/// The axis and direction with the most room for a note at `speeds` (per axis, units/s; 0 or
/// less keeps the note off that axis) from `position`; none when no axis has room for a whole
/// lease and then a stop inside its bounds.
std::optional<JogChoice> chooseJog(const std::array<JogAxis, 3>& axes,
                                   const std::array<double, 3>& position,
                                   const std::array<double, 3>& speeds, const JogLease& lease = {});

/// The next jog of a held note whose queued jogs end at `queueEnd` (a machine coordinate),
/// `queued` units ahead of the tool: Wait while enough is queued; a Jog that tops the queue up to
/// the lease and ends with room to stop (v²/2a) inside the axis's bounds; NoRoom when no step is
/// left in that direction.
JogStep nextJog(const JogAxis& axis, const JogChoice& note, double queueEnd, double queued,
                const JogLease& lease = {});

} // namespace chimex
