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

NoteSpeeds TunedSpeeds::of(int key) const {
    const auto i = static_cast<std::size_t>(key);
    return {speed[0][i], speed[2][i], speed[1][i]};
}

TunedSpeeds tunedSpeeds(const StepsPerUnit& steps, float maxXYSpeed, float maxZSpeed) {
    TunedSpeeds speeds;
    for (int key = 0; key < keyCount; ++key) {
        const auto i = static_cast<std::size_t>(key);
        for (const Axis axis : {Axis::X, Axis::Y}) {
            const double axisSteps = steps[axisIndex(axis)];
            const Tuned tuned = tune(keyFrequency(key), axisSteps, maxXYSpeed);
            if (!tuned.fits) {
                throw InputFailure("no octave of key " + std::to_string(key) +
                                   " fits under the fastest X and Y speed " +
                                   shortestText(maxXYSpeed) + " at " + shortestText(axisSteps) +
                                   " steps per unit");
            }
            speeds.speed[axisIndex(axis)][i] = tuned.speed;
            speeds.lowered[axisIndex(axis)][i] = tuned.lowered;
        }
        const double zSteps = steps[axisIndex(Axis::Z)];
        const Tuned z = tune(keyFrequency(key), zSteps, maxZSpeed);
        // Unfitted, the key's own pitch is faster than the fastest Z speed: the gate refuses Z.
        speeds.speed[2][i] = z.fits ? z.speed : static_cast<float>(keyFrequency(key) / zSteps);
        speeds.lowered[2][i] = z.lowered;
    }
    return speeds;
}

} // namespace chimex
