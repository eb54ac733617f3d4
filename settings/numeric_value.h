// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

namespace chimex {

/// The leading decimal number of a text: blanks, tabs and line feeds skipped anywhere; optional
/// sign, digits, one ".", exponent with E or D; stops at the first character that cannot continue
/// it; 0 when no digit was read.
double numericValue(std::string_view text);

} // namespace chimex
