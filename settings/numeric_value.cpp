// SPDX-License-Identifier: MIT
#include "numeric_value.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace chimex {

namespace {

/// Exponents beyond this magnitude overflow or underflow a double anyway; clamping keeps the
/// exponent's own arithmetic from overflowing on long digit runs.
constexpr long exponentLimit = 100000;

bool skipped(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

/// The decimal number at the start of a text, with blanks removed and the exponent marker made "e".
struct NumberText {
    std::string mantissa; ///< optional "-", digits, optional "." and digits
    long exponent = 0;
    bool hasDigit = false;
    int leadingPower = 0; ///< decimal power of the first significant mantissa digit
    bool nonZero = false;
};

class NumberReader {
  public:
    explicit NumberReader(std::string_view text) : text_(text) {}

    NumberText read() {
        readSign();
        readMantissa();
        readExponent();
        return number_;
    }

  private:
    /// The next character that is not skipped, or 0 at the end; does not consume it.
    char peek() {
        while (pos_ < text_.size() && skipped(text_[pos_])) {
            ++pos_;
        }
        return pos_ < text_.size() ? text_[pos_] : '\0';
    }

    static bool isDigit(char c) { return c >= '0' && c <= '9'; }

    void readSign() {
        const char c = peek();
        if (c == '+' || c == '-') {
            if (c == '-') {
                number_.mantissa += '-';
            }
            ++pos_;
        }
    }

    void readMantissa() {
        bool point = false;
        int integerDigits = 0;
        int zerosAfterPoint = 0;
        for (char c = peek(); isDigit(c) || (c == '.' && !point); c = peek()) {
            ++pos_;
            number_.mantissa += c;
            if (c == '.') {
                point = true;
                continue;
            }
            number_.hasDigit = true;
            if (number_.nonZero) {
                integerDigits += point ? 0 : 1;
            } else if (c != '0') {
                number_.nonZero = true;
                integerDigits = point ? 0 : 1;
            } else if (point) {
                ++zerosAfterPoint;
            }
        }
        number_.leadingPower = integerDigits > 0 ? integerDigits - 1 : -zerosAfterPoint - 1;
    }

    void readExponent() {
        const char marker = peek();
        if (!number_.hasDigit ||
            (marker != 'E' && marker != 'e' && marker != 'D' && marker != 'd')) {
            return;
        }
        ++pos_;
        bool negative = false;
        if (const char c = peek(); c == '+' || c == '-') {
            negative = c == '-';
            ++pos_;
        }
        long exponent = 0;
        for (char c = peek(); isDigit(c); c = peek()) {
            ++pos_;
            exponent = std::min(exponent * 10 + (c - '0'), exponentLimit);
        }
        number_.exponent = negative ? -exponent : exponent;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    NumberText number_;
};

} // namespace

double numericValue(std::string_view text) {
    const NumberText number = NumberReader(text).read();
    if (!number.hasDigit) {
        return 0.0;
    }
    std::string digits = number.mantissa;
    if (digits.back() == '.') {
        digits.pop_back();
    }
    digits += "e" + std::to_string(number.exponent);
    double value = 0.0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Beyond a double: infinity for large magnitudes, zero for tiny ones, keeping the sign.
        const bool large = number.nonZero && number.leadingPower + number.exponent > 0;
        const double magnitude = large ? std::numeric_limits<double>::infinity() : 0.0;
        return number.mantissa.front() == '-' ? -magnitude : magnitude;
    }
    return value;
}

std::optional<float> toSingle(double value) {
    if (!(std::fabs(value) <= std::numeric_limits<float>::max())) {
        return std::nullopt;
    }
    return static_cast<float>(value);
}

} // namespace chimex
