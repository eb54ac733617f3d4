// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string_view>

namespace chimex {

/// The leading decimal number of a text: blanks, tabs and line feeds skipped anywhere; optional
/// sign, digits, one ".", exponent with E or D; stops at the first character that cannot continue
/// it; 0 when no digit was read. Beyond the range of a double the result is infinity (or 0 for
/// tiny magnitudes), with the text's sign.
double numericValue(std::string_view text);

/// The value in single precision, or nothing when it lies beyond the single-precision range, so
/// that no setting ever holds infinity.
std::optional<float> toSingle(double value);

} // namespace chimex
