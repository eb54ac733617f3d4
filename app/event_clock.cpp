// SPDX-License-Identifier: MIT
#include "event_clock.h"

namespace chimex {
namespace {

/// Seconds: an event is handled after it happened, give or take how late the first event that
/// tied the clocks was handled, and not much later than that.
constexpr double mostAhead = 1;
constexpr double mostBehind = 10;

} // namespace

double EventClock::reading(double stamp, double clockNow) {
    if (offset_ && stamp >= lastStamp_) {
        const double at = stamp + *offset_;
        if (at <= clockNow + mostAhead && at >= clockNow - mostBehind) {
            lastStamp_ = stamp;
            return at;
        }
    }
    offset_ = clockNow - stamp;
    lastStamp_ = stamp;
    return clockNow;
}

} // namespace chimex
