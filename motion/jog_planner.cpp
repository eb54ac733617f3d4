// SPDX-License-Identifier: MIT
#include "jog_planner.h"

#include <algorithm>
#include <cmath>

namespace chimex {
namespace {

/// How far the tool may still go from `from` in `direction` and stop at full speed inside.
double roomAhead(const JogAxis& axis, double from, int direction, double speed) {
    const double stop = axis.stopRoom(speed);
    const double room = direction > 0 ? axis.high - stop - from : from - (axis.low + stop);
    return std::isfinite(room) ? room : 0;
}

bool playable(const JogAxis& axis, double speed) {
    return speed > 0 && speed <= axis.fastest && axis.accel > 0 && axis.high > axis.low;
}

} // namespace

std::optional<JogChoice> chooseJog(const std::array<JogAxis, 3>& axes,
                                   const std::array<double, 3>& position,
                                   const std::array<double, 3>& speeds, const JogLease& lease) {
    std::optional<JogChoice> best;
    double bestRoom = 0;
    for (std::size_t i = 0; i < axes.size(); ++i) {
        if (!playable(axes[i], speeds[i])) {
            continue;
        }
        for (int direction : {-1, 1}) {
            const double room = roomAhead(axes[i], position[i], direction, speeds[i]);
            if (room >= speeds[i] * lease.queuedSeconds && room > bestRoom) {
                best = JogChoice{i, direction, speeds[i]};
                bestRoom = room;
            }
        }
    }
    return best;
}

JogStep nextJog(const JogAxis& axis, const JogChoice& note, double queueEnd, double queued,
                const JogLease& lease) {
    const double v = note.speed;
    // A jog line carries thousandths: the shortest jog is a step rounded up to them.
    const double shortest = std::ceil(axis.step * 1000 - 1e-9) / 1000;
    const double full = std::max(v * lease.queuedSeconds, shortest);
    // Renew before the controller starts ramping down to the end of its queue, so the pitch holds.
    const double renewAt =
        std::min(std::max(v * lease.renewSeconds, axis.stopRoom(v) + v * 0.02), full - shortest);
    if (queued > renewAt) {
        return {};
    }
    const double room = roomAhead(axis, queueEnd, note.direction, v);
    const double length = std::min(std::max(full - queued, shortest), room);
    // Cut to thousandths, so the tool lands where the bounds were checked.
    const double written = std::floor(length * 1000 + 1e-9) / 1000;
    if (!(written >= shortest)) {
        return {JogStep::NoRoom, 0};
    }
    return {JogStep::Jog, note.direction * written};
}

} // namespace chimex
