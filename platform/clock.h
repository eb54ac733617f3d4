// SPDX-License-Identifier: MIT
#pragma once

namespace chimex {

/// The time of day, for events that carry no time of their own.
class Clock {
  public:
    virtual ~Clock() = default;
    /// Seconds since local midnight, with at least millisecond resolution.
    virtual double clock() = 0;
};

} // namespace chimex
