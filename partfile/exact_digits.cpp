// SPDX-License-Identifier: MIT
#include "exact_digits.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>

namespace chimex {

/// Adds one unit in the last place of digits[0, count); returns true when it carried out of the
/// top (all digits are then '0').
bool incrementDigits(char* digits, int count) {
    for (int i = count; i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return false;
        }
        digits[i] = '0';
    }
    return true;
}

namespace {

/// The exact decimal expansion of m x 2^-places, read one digit at a time: first the digits of the
/// whole part, then those of the fraction by long multiplication (the fraction times ten; what
/// passes the binary point is the next digit).
class ExactDigitStream {
  public:
    ExactDigitStream(std::uint64_t m, int places)
        : rest_(m & mask(places)), places_(places), mask_(mask(places)) {
        const std::uint64_t whole = m >> places;
        if (whole != 0) {
            wholeCount_ = static_cast<int>(
                std::to_chars(whole_.data(), whole_.data() + whole_.size(), whole).ptr -
                whole_.data());
        }
    }

    int wholeDigitCount() const { return wholeCount_; }

    char next() {
        if (nextWhole_ < wholeCount_) {
            return whole_[static_cast<std::size_t>(nextWhole_++)];
        }
        rest_ *= 10;
        const auto digit = static_cast<char>('0' + (rest_ >> places_));
        rest_ &= mask_;
        return digit;
    }

    /// True when a digit still to come is not zero.
    bool moreNonZero() const {
        return rest_ != 0 || std::any_of(whole_.begin() + nextWhole_, whole_.begin() + wholeCount_,
                                         [](char c) { return c != '0'; });
    }

  private:
    static std::uint64_t mask(int places) { return (std::uint64_t{1} << places) - 1; }

    std::array<char, 20> whole_{};
    int wholeCount_ = 0;
    int nextWhole_ = 0;
    std::uint64_t rest_; ///< numerator of the fraction not yet read, over 2^places
    int places_;
    std::uint64_t mask_;
};

/// Longest fraction ExactDigitStream takes: ten times a numerator below 2^60 still fits 64 bits.
constexpr int maxExactPlaces = 60;

/// Rounds |value| (finite) to `significant` digits from its exact binary value m x 2^e, to
/// nearest with ties to even as std::to_chars does. Returns false, leaving the work to
/// std::to_chars, for zero, for a whole part beyond 64 bits and for e < -maxExactPlaces.
template <typename T> bool exactDigitsOf(T value, int significant, Digits& out) {
    constexpr int mantissaBits = std::numeric_limits<T>::digits;
    int e = 0;
    const T fraction = std::frexp(std::fabs(value), &e);
    e -= mantissaBits;
    if (value == 0 || e > 64 - mantissaBits || e < -maxExactPlaces) {
        return false;
    }
    constexpr auto scale = static_cast<T>(std::uint64_t{1} << mantissaBits); // exact
    const auto m = static_cast<std::uint64_t>(fraction * scale);
    ExactDigitStream stream(e >= 0 ? m << e : m, e >= 0 ? 0 : -e);
    out.pointPos = stream.wholeDigitCount();
    char digit = stream.next();
    for (; digit == '0'; digit = stream.next()) {
        --out.pointPos; // a leading zero of a fraction below 1
    }
    out.count = significant;
    out.digits[0] = digit;
    for (std::size_t i = 1; i < static_cast<std::size_t>(significant); ++i) {
        out.digits[i] = stream.next();
    }
    const char roundDigit = stream.next();
    const bool lastOdd = (out.digits[static_cast<std::size_t>(significant - 1)] - '0') % 2 == 1;
    const bool roundUp =
        roundDigit > '5' || (roundDigit == '5' && (stream.moreNonZero() || lastOdd));
    if (roundUp && incrementDigits(out.digits.data(), significant)) {
        out.digits[0] = '1';
        ++out.pointPos;
    }
    return true;
}

/// As exactDigits, through std::to_chars, for any finite value.
template <typename T> Digits charconvDigitsOf(T value, int significant) {
    std::array<char, 64> buffer;
    const auto result =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(value),
                      std::chars_format::scientific, significant - 1);
    const std::string_view text(buffer.data(),
                                static_cast<std::size_t>(result.ptr - buffer.data()));
    const auto e = text.find('e');
    Digits out;
    for (const char c : text.substr(0, e)) {
        if (c != '.') {
            out.digits[static_cast<std::size_t>(out.count++)] = c;
        }
    }
    const std::string_view exponent = text.substr(e + (text[e + 1] == '+' ? 2 : 1));
    std::from_chars(exponent.data(), exponent.data() + exponent.size(), out.pointPos);
    ++out.pointPos;
    return out;
}

} // namespace

bool exactDigits(float value, int significant, Digits& out) {
    return exactDigitsOf(value, significant, out);
}

bool exactDigits(double value, int significant, Digits& out) {
    return exactDigitsOf(value, significant, out);
}

Digits charconvDigits(float value, int significant) {
    return charconvDigitsOf(value, significant);
}

Digits charconvDigits(double value, int significant) {
    return charconvDigitsOf(value, significant);
}

} // namespace chimex
