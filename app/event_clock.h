// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

namespace chimex {

/// Turns the time stamps of one input source (seconds on its own clock: the display server's
/// for keys and mouse, the MIDI system's frames) into clock readings, seconds since midnight.
/// The source's clock is tied to the program's clock at its first event, so two events' readings
/// differ by exactly the difference of their stamps; it is tied afresh when the stamps run back
/// (a source restarted or wrapped) or a reading no longer fits the clock (midnight). Readings
/// never run back, but at midnight.
class EventClock {
  public:
    /// The clock reading of an event stamped `stamp`, handled when the clock reads `clockNow`.
    double reading(double stamp, double clockNow);

  private:
    std::optional<double> offset_; ///< clock reading minus stamp
    double lastStamp_ = 0;
    double lastReading_ = 0;
};

/// When an event happened: its stamp in seconds on `source`'s clock, or no source for an event
/// without a stamp, which happened when it is handled.
struct EventStamp {
    EventClock* source = nullptr;
    double seconds = 0;
};

} // namespace chimex
