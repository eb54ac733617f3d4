// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace chimex {

/// The shortest text that reads back as the same double ("0.765", "12", "1e+30"); "inf" or "nan"
/// for values that are not finite.
std::string shortestText(double value);
std::string shortestText(float value);

} // namespace chimex
