// SPDX-License-Identifier: MIT
#pragma once

#include <array>

namespace chimex {

/// A unit direction of a move in X, Y, Z.
using Direction = std::array<double, 3>;

/// The corner rule a controller applies where one move meets the next: junction deviation `delta`
/// in the length unit, over the per-axis accelerations.
struct CornerRule {
    double delta = 0;
    Direction accel{};
};

/// GRBL's `$11` default and Marlin's JUNCTION_DEVIATION_MM default, in mm.
inline constexpr double grblJunctionDeviation = 0.010;
inline constexpr double marlinJunctionDeviation = 0.013;

/// The highest speed at the junction of a move along `from` into a move along `to` (not yet limited
/// by the two feeds): unlimited straight on, 0 for a reversal, and for a corner the junction
/// deviation rule over the acceleration the axes allow along the junction.
double cornerSpeed(const Direction& from, const Direction& to, const CornerRule& rule);

} // namespace chimex
