// SPDX-License-Identifier: MIT
#include "pitch_band.h"

#include "core/note_capture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace chimex {

PitchBands::PitchBands(float BaseSpeed) : BaseSpeed_(BaseSpeed) {
    if (BaseSpeed_ > 0) {
        for (int key = 0; key < keyCount; ++key) {
            keySpeeds_[static_cast<std::size_t>(key)] = keySpeed(BaseSpeed_, key);
        }
    }
}

int PitchBands::bandOf(std::optional<double> speed) const {
    if (!speed || !(*speed > 0) || !(BaseSpeed_ > 0)) {
        return otherSpeedBand;
    }
    const double semitones = 12.0 * std::log2(*speed / BaseSpeed_);
    const double key = std::round(semitones);
    if (!(key >= 0 && key < keyCount)) {
        return otherSpeedBand;
    }
    const auto index = static_cast<std::size_t>(key);
    const bool exact = static_cast<float>(*speed) == keySpeeds_[index];
    return exact || std::fabs(semitones - key) < 0.1 ? static_cast<int>(index) : otherSpeedBand;
}

std::string bandColour(int band) {
    if (band == otherSpeedBand) {
        return "#555555";
    }
    if (band < 0 || band >= keyCount) {
        return "#b0b0b0";
    }
    // Hue from 240 (blue) down to 0 (red); saturation 0.85, lightness 0.42.
    const double hue = 240.0 * (1.0 - band / 36.0);
    const double chroma = (1 - std::fabs(2 * 0.42 - 1)) * 0.85;
    const double x = chroma * (1 - std::fabs(std::fmod(hue / 60.0, 2.0) - 1));
    const double m = 0.42 - chroma / 2;
    const int sector = std::min(5, static_cast<int>(hue / 60.0));
    const double rgb[6][3] = {{chroma, x, 0}, {x, chroma, 0}, {0, chroma, x},
                              {0, x, chroma}, {x, 0, chroma}, {chroma, 0, x}};
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x",
                  static_cast<int>(std::lround((rgb[sector][0] + m) * 255)),
                  static_cast<int>(std::lround((rgb[sector][1] + m) * 255)),
                  static_cast<int>(std::lround((rgb[sector][2] + m) * 255)));
    return text;
}

std::string keyName(int key) {
    static const char* const names[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                          "F#", "G",  "G#", "A",  "A#", "B"};
    return std::string(names[key % 12]) + std::to_string(3 + key / 12);
}

} // namespace chimex
