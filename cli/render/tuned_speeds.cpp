// SPDX-License-Identifier: MIT
#include "tuned_speeds.h"

#include "files/failure.h"
#include "partfile/number_text.h"
#include "sound/key_pitch.h"

#include <cmath>

namespace chimex {
namespace {

/// Far more octaves than any speed can be above a fastest speed above 0.
constexpr int mostOctaves = 300;

struct Tuned {
    float speed;
    bool lowered;
    bool fits;
};

Tuned tune(double frequency, double stepsPerUnit, float fastest) {
    double speed = frequency / stepsPerUnit;
    int octaves = 0;
    while (static_cast<float>(speed) > fastest && octaves < mostOctaves) {
        speed /= 2;
        ++octaves;
    }
    const auto single = static_cast<float>(speed);
    return {single, octaves > 0, single <= fastest && single > 0};
}

} // namespace

TunedSpeeds tunedSpeeds(double stepsPerUnit, double zStepsPerUnit, float maxXYSpeed,
                        float maxZSpeed) {
    TunedSpeeds speeds;
    for (int key = 0; key < keyCount; ++key) {
        const auto i = static_cast<std::size_t>(key);
        const Tuned xy = tune(keyFrequency(key), stepsPerUnit, maxXYSpeed);
        if (!xy.fits) {
            throw InputFailure("no octave of key " + std::to_string(key) +
                               " fits under the fastest X and Y speed " + shortestText(maxXYSpeed) +
                               " at " + shortestText(stepsPerUnit) + " steps per unit");
        }
        const Tuned z = tune(keyFrequency(key), zStepsPerUnit, maxZSpeed);
        speeds.xy[i] = xy.speed;
        speeds.xyLowered[i] = xy.lowered;
        // Unfitted, the key's own pitch is faster than the fastest Z speed: the gate refuses Z.
        speeds.z[i] = z.fits ? z.speed : static_cast<float>(keyFrequency(key) / zStepsPerUnit);
        speeds.zLowered[i] = z.lowered;
    }
    return speeds;
}

} // namespace chimex
