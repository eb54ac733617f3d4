// SPDX-License-Identifier: MIT
#include "number_forms.h"

#include "files/failure.h"
#include "partfile/exact_digits.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace chimex {
namespace {

void requireFinite(double value) {
    if (!std::isfinite(value)) {
        throw Failure("A number to be written is not finite (overflow or invalid operation)");
    }
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
