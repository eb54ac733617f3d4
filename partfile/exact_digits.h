// SPDX-License-Identifier: MIT
#pragma once

#include <array>

namespace chimex {

/// A non-zero magnitude rounded to a number of significant digits: 0.<digits> x 10^pointPos.
struct Digits {
    std::array<char, 16> digits{}; ///< at most 15 are used
    int count = 0;
    int pointPos = 0; ///< how many of the digits stand before the decimal point (may be <= 0)

    /// The digit at `index` of the digit string, '0' beyond either end of it.
    char at(int index) const {
        return index >= 0 && index < count ? digits[static_cast<std::size_t>(index)] : '0';
    }
};

/// Adds one unit in the last place of digits[0, count); returns true when it carried out of the
/// top (all digits are then '0').
bool incrementDigits(char* digits, int count);

/// Rounds |value| (finite) to `significant` digits from its exact binary value m x 2^e, to
/// nearest with ties to even as std::to_chars does. Returns false, leaving the work to
/// charconvDigits, for zero, for a whole part beyond 64 bits and for a fraction of more than 60
/// binary places.
bool exactDigits(float value, int significant, Digits& out);
bool exactDigits(double value, int significant, Digits& out);

/// As exactDigits, through std::to_chars, for any finite value.
Digits charconvDigits(float value, int significant);
Digits charconvDigits(double value, int significant);

} // namespace chimex
