// SPDX-License-Identifier: MIT
#include "key_pitch.h"

#include <cmath>

namespace chimex {

namespace {

constexpr double c3Frequency = 130.8127826502993; // A4 = 440 Hz, 21 semitones below middle A

} // namespace

double keyFrequency(int keyIndex) {
    return c3Frequency * std::pow(2.0, keyIndex / 12.0);
}

} // namespace chimex
