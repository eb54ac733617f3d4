// SPDX-License-Identifier: MIT
#pragma once

#include "core/note_capture.h"

#include <array>
#include <optional>
#include <string>

namespace chimex {

/// The colour bands of a preview: one per key, then the jogs at any other speed, then pauses.
inline constexpr int otherSpeedBand = keyCount;
inline constexpr int pauseBand = keyCount + 1;
inline constexpr int bandCount = keyCount + 2;

/// Tells which key's note a jog speed sounds, for the settings' BaseSpeed.
class PitchBands {
  public:
    explicit PitchBands(float BaseSpeed);

    /// The key (0 is C3, 36 is C6) whose speed `speed` is, or otherSpeedBand: a speed no key
    /// plays (within a tenth of a semitone), or none at all.
    int bandOf(std::optional<double> speed) const;

  private:
    float BaseSpeed_;
    std::array<float, keyCount> keySpeeds_{};
};

/// The band's colour as "#rrggbb": keys from blue (C3) through green and orange to red (C6).
std::string bandColour(int band);

/// "C3", "C#3", ... "C6".
std::string keyName(int key);

} // namespace chimex
