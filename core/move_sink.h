// SPDX-License-Identifier: MIT
#pragma once

#include "partfile/axis.h"
#include "partfile/short_text.h"

namespace chimex {

/// Where played notes go when not to the tune file's journal text: a record of the pauses and
/// jogs for another kind of machine file.
class MoveSink {
  public:
    virtual ~MoveSink() = default;
    /// The silence before a note: PauseLength, rounded to three decimals.
    virtual void pause(float seconds) = 0;
    /// One note's jog of `axis` to `position` at `speed` (length units a second), the key held
    /// `duration` seconds; `positionText` is the position in the three-decimal form.
    virtual void move(Axis axis, float speed, float duration, float position,
                      const ShortText& positionText) = 0;
};

} // namespace chimex
