// SPDX-License-Identifier: MIT
#pragma once

#include "core/program_state.h"
#include "settings/setting_keys.h"

#include <array>
#include <cstddef>

namespace chimex {

/// The machine's travel limits and fastest jog speeds, as the settings give them.
struct MachineLimits {
    float MaxX = 0;
    float MaxY = 0;
    float MaxZ = 0;
    float MaxXYSpeed = 0;
    float MaxZSpeed = 0;
};

/// MachineLimits' members in SettingsField order, to pair them with settingKeys.
inline constexpr std::array<float MachineLimits::*, settingKeys.size()> limitMembers = {
    &MachineLimits::MaxX, &MachineLimits::MaxY, &MachineLimits::MaxZ, &MachineLimits::MaxXYSpeed,
    &MachineLimits::MaxZSpeed};

/// The limit that setting `field` gives.
inline float limitOf(const MachineLimits& limits, SettingsField field) {
    return limits.*limitMembers[static_cast<std::size_t>(field)];
}

inline MachineLimits limitsOf(const ProgramState& s) {
    MachineLimits limits;
    for (std::size_t i = 0; i < settingKeys.size(); ++i) {
        limits.*limitMembers[i] = s.*settingKeys[i].value;
    }
    return limits;
}

/// Motor steps per length unit of X, Y and Z, by axisIndex.
using StepsPerUnit = std::array<double, 3>;

/// How far a part file takes an axis.
struct AxisExtent {
    double low = 0;
    double high = 0;
};

} // namespace chimex
