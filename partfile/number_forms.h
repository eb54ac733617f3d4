// SPDX-License-Identifier: MIT
#pragma once

#include "partfile/short_text.h"

#include <string>
#include <string_view>

namespace chimex {

/// At most 7 significant digits, trailing zeros dropped, "0" before the point below 1, and the
/// exponent form (1.234568E+07, 1E-05) when the rounded magnitude is 1E+07 or more or below 1E-04.
std::string plainForm(float value);

/// Pattern "####.000": three decimals, no leading zero below 1 (.765). The value's 7 (float) or 15
/// (double) significant digits are rounded half away from zero at the third decimal.
std::string threeDecimalForm(float value);
std::string threeDecimalForm(double value);

/// Pattern "##.0": as the three-decimal form with one decimal (0.25 gives .3).
std::string oneDecimalForm(float value);

/// The forms above held in place, for writers that should not allocate (same text, same failures).
ShortText plainText(float value);
ShortText threeDecimalText(float value);
ShortText threeDecimalText(double value);
ShortText oneDecimalText(float value);

/// A number form read back as a float. Throws Failure when it does not fit one.
float readBackAsFloat(const ShortText& text);

/// The value put into the three-decimal form and read back as a float, which is how note speeds,
/// durations and gaps are rounded before they are stored.
float roundThroughThreeDecimals(float value);
float roundThroughThreeDecimals(double value);

} // namespace chimex
