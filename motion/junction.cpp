// SPDX-License-Identifier: MIT
#include "junction.h"

#include <cmath>
#include <limits>

namespace chimex {

double cornerSpeed(const Direction& from, const Direction& to, const CornerRule& rule) {
    double cosine = 0;
    for (int i = 0; i < 3; ++i) {
        cosine -= from[i] * to[i];
    }
    if (cosine > 0.999999) {
        return 0; // reversal
    }
    if (cosine < -0.999999) {
        return std::numeric_limits<double>::infinity(); // straight on
    }
    // The acceleration along the junction is limited by the axis that reaches its own limit first.
    Direction junction{};
    double norm = 0;
    for (int i = 0; i < 3; ++i) {
        junction[i] = to[i] - from[i];
        norm += junction[i] * junction[i];
    }
    norm = std::sqrt(norm);
    double accel = std::numeric_limits<double>::infinity();
    for (int i = 0; i < 3; ++i) {
        if (junction[i] != 0) {
            accel = std::min(accel, rule.accel[i] * norm / std::abs(junction[i]));
        }
    }
    const double halfSine = std::sqrt(0.5 * (1 - cosine));
    return std::sqrt(accel * rule.delta * halfSine / (1 - halfSine));
}

} // namespace chimex
