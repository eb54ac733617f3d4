// SPDX-License-Identifier: MIT
#include "stepper_timbre.h"

#include <algorithm>
#include <cmath>

namespace chimex {
namespace {

constexpr double resonanceFrequency = 2400.0; // Hz; the ringing of the motor's frame
constexpr double resonanceWidth = 900.0;      // Hz
constexpr double highestPartial = 16000.0;    // Hz; keeps the tone clear of the Nyquist limit

} // namespace

double stepperPartialAmplitude(int n, double fundamental) {
    const double f = n * fundamental;
    const double lift = (f - resonanceFrequency) / resonanceWidth;
    const double resonance = 1.0 + 2.5 * std::exp(-lift * lift);
    const double evenDamping = (n % 2 == 0) ? 0.45 : 1.0;
    return resonance * evenDamping / n;
}

int stepperPartialCount(double fundamental) {
    if (!(fundamental > 0)) {
        return 1;
    }
    const double count = std::min(highestPartial / fundamental, 1e9);
    return std::max(1, static_cast<int>(count));
}

} // namespace chimex
