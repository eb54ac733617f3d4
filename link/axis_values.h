// SPDX-License-Identifier: MIT
#pragma once

#include <array>

namespace chimex {

/// X, Y and Z as a controller reports them, in its own length unit.
using AxisValues = std::array<double, 3>;

} // namespace chimex
