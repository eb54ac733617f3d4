// SPDX-License-Identifier: MIT
#include "number_forms.h"

#include "files/failure.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace chimex {
namespace {

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

void requireFinite(double value) {
    if (!std::isfinite(value)) {
        throw Failure("A number to be written is not finite (overflow or invalid operation)");
    }
}

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
template <typename T> bool exactDigits(T value, int significant, Digits& out) {
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
template <typename T> Digits charconvDigits(T value, int significant) {
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

/// |value| = m x 2^-places exactly, m being the whole significand. False when the value has no
/// fraction bits (places < 1) or too many for 64-bit work (places > 63).
template <typename T> bool splitBinary(T value, std::uint64_t& m, int& places) {
    constexpr int mantissaBits = std::numeric_limits<T>::digits;
    int e = 0;
    const T fraction = std::frexp(std::fabs(value), &e);
    places = mantissaBits - e;
    if (places < 1 || places > 63) {
        return false;
    }
    constexpr auto scale = static_cast<T>(std::uint64_t{1} << mantissaBits); // exact
    m = static_cast<std::uint64_t>(fraction * scale);
    return true;
}

constexpr std::array<std::uint64_t, 20> powersOfTen = [] {
    std::array<std::uint64_t, 20> powers{};
    std::uint64_t power = 1;
    for (auto& p : powers) {
        p = power;
        power *= 10;
    }
    return powers;
}();

int digitCount(std::uint64_t n) {
    int count = 1;
    while (count < 20 && n >= powersOfTen[static_cast<std::size_t>(count)]) {
        ++count;
    }
    return count;
}

/// Fast significantDigits: |value| x 10^k as a whole number with `significant` digits, rounded to
/// nearest with ties to even, all in 64-bit integers. False when that does not fit.
template <typename T> bool scaledDigits(T value, int significant, Digits& out) {
    std::uint64_t m = 0;
    int places = 0;
    if (!splitBinary(value, m, places)) {
        return false;
    }
    const std::uint64_t whole = m >> places;
    int k = significant - (whole == 0 ? 0 : digitCount(whole));
    const std::uint64_t least = powersOfTen[static_cast<std::size_t>(significant - 1)];
    for (;; ++k) {
        if (k < 0 || k > 19 || m > UINT64_MAX / powersOfTen[static_cast<std::size_t>(k)]) {
            return false;
        }
        if ((m * powersOfTen[static_cast<std::size_t>(k)]) >> places >= least) {
            break;
        }
    }
    const std::uint64_t n = m * powersOfTen[static_cast<std::size_t>(k)];
    std::uint64_t q = n >> places;
    const std::uint64_t rest = n & ((std::uint64_t{1} << places) - 1);
    const std::uint64_t half = std::uint64_t{1} << (places - 1);
    q += rest > half || (rest == half && q % 2 == 1);
    out.pointPos = significant - k;
    if (q == least * 10) {
        q = least;
        ++out.pointPos;
    }
    out.count = significant;
    std::to_chars(out.digits.data(), out.digits.data() + out.digits.size(), q);
    return true;
}

template <typename T> Digits significantDigits(T value, int significant) {
    Digits out;
    if (scaledDigits(value, significant, out) || exactDigits(value, significant, out)) {
        return out;
    }
    return charconvDigits(value, significant);
}

/// Fast fixedText: |value| in units of the last decimal, from m x 10^decimals in 64 bits, rounded
/// half away from zero. Rounding to `significant` digits first moves that result only when the
/// fraction of a unit lies within half a significant unit of one half; false then (and when the
/// significant digits stop above the last decimal). With no spare digit the two roundings are one:
/// to nearest, ties to even.
template <typename T>
bool scaledFixed(T value, int significant, int decimals, std::uint64_t& units) {
    std::uint64_t m = 0;
    int places = 0;
    if (!splitBinary(value, m, places) || m > UINT64_MAX / 1000) {
        return false;
    }
    const std::uint64_t scale = powersOfTen[static_cast<std::size_t>(decimals)];
    const std::uint64_t n = m * scale;
    const std::uint64_t q = n >> places;
    const std::uint64_t rest = n & ((std::uint64_t{1} << places) - 1);
    const std::uint64_t half = std::uint64_t{1} << (places - 1);
    const int spare = significant - decimals - (q < scale ? 0 : digitCount(q / scale));
    if (spare < 0) {
        return false;
    }
    if (spare == 0) {
        units = q + (rest > half || (rest == half && q % 2 == 1));
        return true;
    }
    // A margin of two for the inexact doubles: a fraction that near one half takes the slow way.
    const std::uint64_t distance = rest > half ? rest - half : half - rest;
    if (static_cast<double>(distance) *
            static_cast<double>(powersOfTen[static_cast<std::size_t>(spare)]) <=
        2.0 * static_cast<double>(half)) {
        return false;
    }
    units = q + (rest >= half);
    return true;
}

/// The fixed form of a count of units of the last decimal, built from its last digit back.
ShortText unitsText(bool negative, std::uint64_t units, int decimals) {
    const bool nonZero = units != 0;
    std::array<char, 24> chars;
    std::size_t first = chars.size();
    for (int i = 0; i < decimals; ++i) {
        chars[--first] = static_cast<char>('0' + units % 10);
        units /= 10;
    }
    chars[--first] = '.';
    for (; units != 0; units /= 10) {
        chars[--first] = static_cast<char>('0' + units % 10);
    }
    if (negative && nonZero) {
        chars[--first] = '-';
    }
    ShortText text;
    text.append(std::string_view(chars.data() + first, chars.size() - first));
    return text;
}

template <typename T> ShortText fixedText(T value, int significant, int decimals) {
    requireFinite(static_cast<double>(value));
    ShortText text;
    if (value == 0) {
        text.append('.');
        text.append(std::string_view("000").substr(0, static_cast<std::size_t>(decimals)));
        return text;
    }
    std::uint64_t units = 0;
    if (scaledFixed(value, significant, decimals, units)) {
        return unitsText(value < 0, units, decimals);
    }
    const Digits d = significantDigits(value, significant);
    // The digits that stay, whole part and decimals as one number, then rounded half away from
    // zero by the first digit dropped.
    const int offset = std::min(d.pointPos, 0);
    const int keptCount = std::max(d.pointPos, 0) + decimals;
    std::array<char, ShortText::capacity> kept;
    for (int i = 0; i < keptCount; ++i) {
        kept[static_cast<std::size_t>(i)] = d.at(i + offset);
    }
    const bool carried = d.at(keptCount + offset) >= '5' && incrementDigits(kept.data(), keptCount);
    const std::string_view keptText(kept.data(), static_cast<std::size_t>(keptCount));
    const bool nonZero = carried || keptText.find_first_not_of('0') != std::string_view::npos;
    if (value < 0 && nonZero) {
        text.append('-');
    }
    if (carried) {
        text.append('1');
    }
    const auto wholeLength = static_cast<std::size_t>(keptCount - decimals);
    text.append(keptText.substr(0, wholeLength));
    text.append('.');
    text.append(keptText.substr(wholeLength));
    return text;
}

void appendZeros(ShortText& text, int count) {
    for (int i = 0; i < count; ++i) {
        text.append('0');
    }
}

void appendExponent(ShortText& text, int exponent) {
    text.append(exponent < 0 ? "E-" : "E+");
    std::array<char, 8> digits;
    const auto end =
        std::to_chars(digits.data(), digits.data() + digits.size(), std::abs(exponent));
    if (end.ptr - digits.data() < 2) {
        text.append('0');
    }
    text.append(std::string_view(digits.data(), static_cast<std::size_t>(end.ptr - digits.data())));
}

} // namespace

ShortText plainText(float value) {
    requireFinite(value);
    ShortText text;
    if (value == 0) {
        text.append('0');
        return text;
    }
    Digits d = significantDigits(value, 7);
    while (d.count > 1 && d.digits[static_cast<std::size_t>(d.count - 1)] == '0') {
        --d.count;
    }
    const std::string_view digits(d.digits.data(), static_cast<std::size_t>(d.count));
    const int e = d.pointPos - 1;
    if (value < 0) {
        text.append('-');
    }
    if (e < -4 || e > 6) {
        text.append(digits.substr(0, 1));
        if (d.count > 1) {
            text.append('.');
            text.append(digits.substr(1));
        }
        appendExponent(text, e);
    } else if (d.pointPos <= 0) {
        text.append("0.");
        appendZeros(text, -d.pointPos);
        text.append(digits);
    } else if (d.pointPos >= d.count) {
        text.append(digits);
        appendZeros(text, d.pointPos - d.count);
    } else {
        const auto point = static_cast<std::size_t>(d.pointPos);
        text.append(digits.substr(0, point));
        text.append('.');
        text.append(digits.substr(point));
    }
    return text;
}

ShortText threeDecimalText(float value) {
    return fixedText(value, 7, 3);
}

ShortText threeDecimalText(double value) {
    return fixedText(value, 15, 3);
}

ShortText oneDecimalText(float value) {
    return fixedText(value, 7, 1);
}

std::string plainForm(float value) {
    return std::string(plainText(value).view());
}

std::string threeDecimalForm(float value) {
    return std::string(threeDecimalText(value).view());
}

std::string threeDecimalForm(double value) {
    return std::string(threeDecimalText(value).view());
}

std::string oneDecimalForm(float value) {
    return std::string(oneDecimalText(value).view());
}

float readBackAsFloat(const ShortText& text) {
    float value = 0;
    const std::string_view chars = text.view();
    const auto result = std::from_chars(chars.data(), chars.data() + chars.size(), value);
    if (result.ec != std::errc()) {
        throw Failure("Overflow: " + std::string(chars) +
                      " does not fit a single-precision number");
    }
    return value;
}

float roundThroughThreeDecimals(float value) {
    return readBackAsFloat(threeDecimalText(value));
}

float roundThroughThreeDecimals(double value) {
    return readBackAsFloat(threeDecimalText(value));
}

} // namespace chimex
