// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace chimex {

/// The shortest text that reads back as the same double ("0.765", "12", "1e+30"); "inf" or "nan"
/// for values that are not finite.
std::string shortestText(double value);
std::string shortestText(float value);

/// "12.3 s", "4:05.3" or "1:02:05", as fits the length.
std::string durationText(double seconds);

} // namespace chimex
