// SPDX-License-Identifier: MIT
#include "event_clock.h"

namespace chimex {
namespace {

/// Seconds: an event is handled after it happened, give or take how late the first event that
/// tied the clocks was handled, and not much later than that.
constexpr double mostAhead = 1;
constexpr double mostBehind = 10;
constexpr double halfDay = 43200;

} // namespace

double EventClock::reading(double stamp, double clockNow) {
    if (offset_ && stamp >= lastStamp_) {
        const double at = stamp + *offset_;
        if (at <= clockNow + mostAhead && at >= clockNow - mostBehind) {
            lastStamp_ = stamp;
            lastReading_ = at;
            return at;
        }
    }
    // Tied afresh at the clock, yet not before the source's last event: a clock that stands
    // behind it has not passed midnight unless it is half a day behind.
    const bool behind = offset_ && clockNow < lastReading_ && lastReading_ - clockNow < halfDay;
    const double at = behind ? lastReading_ : clockNow;
    offset_ = at - stamp;
    lastStamp_ = stamp;
    lastReading_ = at;
    return at;
}

} // namespace chimex
