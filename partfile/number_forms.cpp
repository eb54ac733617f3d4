// SPDX-License-Identifier: MIT
#include "number_forms.h"

#include "platform/failure.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace chimex {
namespace {

/// A magnitude rounded to a number of significant digits: 0.<digits> x 10^pointPos.
struct Digits {
    std::string digits;
    int pointPos = 0; ///< how many of the digits stand before the decimal point (may be <= 0)
};

void requireFinite(double value) {
    if (!std::isfinite(value)) {
        throw Failure("A number to be written is not finite (overflow or invalid operation)");
    }
}

/// Rounds |value| to `significant` digits, to nearest, from its exact binary value.
template <typename T> Digits significantDigits(T value, int significant) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                      std::chars_format::scientific, significant - 1);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const auto e = text.find('e');
    Digits out;
    for (char c : text.substr(0, e)) {
        if (c != '.') {
            out.digits += c;
        }
    }
    out.pointPos = std::atoi(std::string(text.substr(e + 1)).c_str()) + 1;
    return out;
}

/// Adds one unit in the last place of a digit string; returns true when it carried out of the top.
bool incrementDigits(std::string& digits) {
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return false;
        }
        *it = '0';
    }
    return true;
}

template <typename T> std::string fixedForm(T value, int significant, int decimals) {
    requireFinite(static_cast<double>(value));
    if (value == 0) {
        return "." + std::string(static_cast<std::size_t>(decimals), '0');
    }
    const Digits d = significantDigits(value, significant);
    const int length = static_cast<int>(d.digits.size());
    std::string whole;
    std::string fraction;
    if (d.pointPos <= 0) {
        fraction = std::string(static_cast<std::size_t>(-d.pointPos), '0') + d.digits;
    } else if (d.pointPos >= length) {
        whole = d.digits + std::string(static_cast<std::size_t>(d.pointPos - length), '0');
    } else {
        whole = d.digits.substr(0, static_cast<std::size_t>(d.pointPos));
        fraction = d.digits.substr(static_cast<std::size_t>(d.pointPos));
    }
    fraction.resize(static_cast<std::size_t>(decimals) + 1, '0');
    const bool roundUp = fraction.back() >= '5';
    fraction.pop_back();
    std::string kept = whole + fraction;
    if (roundUp && incrementDigits(kept)) {
        kept.insert(kept.begin(), '1');
    }
    const std::size_t wholeLength = kept.size() - static_cast<std::size_t>(decimals);
    std::string wholeText = kept.substr(0, wholeLength);
    wholeText.erase(0, wholeText.find_first_not_of('0'));
    const std::string fractionText = kept.substr(wholeLength);
    const bool nonZero = kept.find_first_not_of('0') != std::string::npos;
    return (value < 0 && nonZero ? "-" : "") + wholeText + "." + fractionText;
}

std::string exponentText(int exponent) {
    std::string digits = std::to_string(std::abs(exponent));
    if (digits.size() < 2) {
        digits.insert(digits.begin(), '0');
    }
    return std::string("E") + (exponent < 0 ? "-" : "+") + digits;
}

} // namespace

std::string plainForm(float value) {
    requireFinite(value);
    if (value == 0) {
        return "0";
    }
    Digits d = significantDigits(value, 7);
    d.digits.erase(d.digits.find_last_not_of('0') + 1);
    const int e = d.pointPos - 1;
    const int length = static_cast<int>(d.digits.size());
    std::string text;
    if (e >= -4 && e <= 6) {
        if (d.pointPos <= 0) {
            text = "0." + std::string(static_cast<std::size_t>(-d.pointPos), '0') + d.digits;
        } else if (d.pointPos >= length) {
            text = d.digits + std::string(static_cast<std::size_t>(d.pointPos - length), '0');
        } else {
            text = d.digits.substr(0, static_cast<std::size_t>(d.pointPos)) + "." +
                   d.digits.substr(static_cast<std::size_t>(d.pointPos));
        }
    } else {
        text = d.digits.substr(0, 1);
        if (length > 1) {
            text += "." + d.digits.substr(1);
        }
        text += exponentText(e);
    }
    return (value < 0 ? "-" : "") + text;
}

std::string threeDecimalForm(float value) {
    return fixedForm(value, 7, 3);
}

std::string threeDecimalForm(double value) {
    return fixedForm(value, 15, 3);
}

std::string oneDecimalForm(float value) {
    return fixedForm(value, 7, 1);
}

double readNumberText(std::string_view text) {
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) {
        throw Failure("Cannot read the number \"" + std::string(text) + "\"");
    }
    return value;
}

namespace {
float readBackAsFloat(const std::string& text) {
    float value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc()) {
        throw Failure("Overflow: " + text + " does not fit a single-precision number");
    }
    return value;
}
} // namespace

float roundThroughThreeDecimals(float value) {
    return readBackAsFloat(threeDecimalForm(value));
}

float roundThroughThreeDecimals(double value) {
    return readBackAsFloat(threeDecimalForm(value));
}

} // namespace chimex
