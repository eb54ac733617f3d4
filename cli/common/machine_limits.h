// SPDX-License-Identifier: MIT
#pragma once

#include "core/program_state.h"

namespace chimex {

/// The machine's travel limits and fastest jog speeds, as the settings give them.
struct MachineLimits {
    float MaxX = 0;
    float MaxY = 0;
    float MaxZ = 0;
    float MaxXYSpeed = 0;
    float MaxZSpeed = 0;
};

inline MachineLimits limitsOf(const ProgramState& s) {
    return {s.MaxX, s.MaxY, s.MaxZ, s.MaxXYSpeed, s.MaxZSpeed};
}

/// How far a part file takes an axis.
struct AxisExtent {
    double low = 0;
    double high = 0;
};

} // namespace chimex
