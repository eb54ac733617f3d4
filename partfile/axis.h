// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>

namespace chimex {

enum class Axis { X, Y, Z };

inline constexpr std::array<Axis, 3> axes = {Axis::X, Axis::Y, Axis::Z};

inline constexpr std::size_t axisIndex(Axis axis) {
    return static_cast<std::size_t>(axis);
}

/// The letter that names the axis in every text: "X", "Y" or "Z".
inline constexpr const char* axisLetter(Axis axis) {
    return axis == Axis::X ? "X" : axis == Axis::Y ? "Y" : "Z";
}

/// The travel limit of the axis in any record of the settings (MaxX, MaxY, MaxZ).
template <typename Limits> auto axisLimit(const Limits& limits, Axis axis) {
    return axis == Axis::X ? limits.MaxX : axis == Axis::Y ? limits.MaxY : limits.MaxZ;
}

} // namespace chimex
