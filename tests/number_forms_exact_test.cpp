// SPDX-License-Identifier: MIT
// Checks the fixed forms against an independent computation: the exact decimal expansion of the
// binary value, rounded to 7 or 15 significant digits (to nearest, ties to even), then rounded
// half away from zero at the last kept decimal.
#include "partfile/number_forms.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

using namespace chimex;

namespace {

/// Decimal digit string times a small factor.
std::string multiply(const std::string& digits, int factor) {
    std::string out(digits.size(), '0');
    int carry = 0;
    for (std::size_t i = digits.size(); i-- > 0;) {
        const int v = (digits[i] - '0') * factor + carry;
        out[i] = static_cast<char>('0' + v % 10);
        carry = v / 10;
    }
    while (carry > 0) {
        out.insert(out.begin(), static_cast<char>('0' + carry % 10));
        carry /= 10;
    }
    return out;
}

/// Exact decimal expansion of |value|: integer digits and fraction digits.
struct Exact {
    std::string whole;
    std::string fraction;
};

Exact exactDecimal(double value) {
    int exponent = 0;
    const double mantissa = std::frexp(std::fabs(value), &exponent);
    auto m = static_cast<unsigned long long>(std::ldexp(mantissa, 53));
    exponent -= 53;
    std::string digits = std::to_string(m);
    if (exponent >= 0) {
        for (int i = 0; i < exponent; ++i) {
            digits = multiply(digits, 2);
        }
        return {digits, ""};
    }
    const int k = -exponent; // m / 2^k = m * 5^k / 10^k
    for (int i = 0; i < k; ++i) {
        digits = multiply(digits, 5);
    }
    if (static_cast<int>(digits.size()) <= k) {
        digits.insert(0, static_cast<std::size_t>(k) + 1 - digits.size(), '0');
    }
    return {digits.substr(0, digits.size() - static_cast<std::size_t>(k)),
            digits.substr(digits.size() - static_cast<std::size_t>(k))};
}

bool incrementAt(std::string& digits, std::size_t last) {
    for (std::size_t i = last + 1; i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return false;
        }
        digits[i] = '0';
    }
    return true;
}

std::string expected(double value, int significant, int decimals) {
    const Exact exact = exactDecimal(value);
    std::string all = exact.whole + exact.fraction;
    std::size_t wholeLength = exact.whole.size();
    const std::size_t first = all.find_first_not_of('0');
    if (first == std::string::npos) {
        return "." + std::string(static_cast<std::size_t>(decimals), '0');
    }
    // Round to `significant` digits, to nearest with ties to even.
    const std::size_t last = first + static_cast<std::size_t>(significant) - 1;
    if (last + 1 < all.size()) {
        const std::string rest = all.substr(last + 1);
        const bool above = rest[0] > '5' ||
                           (rest[0] == '5' && rest.find_first_not_of('0', 1) != std::string::npos);
        const bool tie = rest[0] == '5' && !above;
        const bool odd = (all[last] - '0') % 2 == 1;
        all.resize(last + 1);
        if ((above || (tie && odd)) && incrementAt(all, last)) {
            all.insert(all.begin(), '1');
            ++wholeLength;
        }
    }
    // Round half away from zero at the last kept decimal.
    const std::size_t keep = wholeLength + static_cast<std::size_t>(decimals);
    all.resize(std::max(all.size(), keep + 1), '0');
    const bool up = all[keep] >= '5';
    all.resize(keep);
    if (up && incrementAt(all, keep - 1)) {
        all.insert(all.begin(), '1');
        ++wholeLength;
    }
    std::string whole = all.substr(0, wholeLength);
    whole.erase(0, whole.find_first_not_of('0'));
    const bool nonZero = all.find_first_not_of('0') != std::string::npos;
    return (value < 0 && nonZero ? "-" : "") + whole + "." + all.substr(wholeLength);
}

TEST(FixedFormsExact, RandomSinglesMatchExactDecimalRounding) {
    std::mt19937 gen(12345);
    std::uniform_real_distribution<double> magnitude(-7, 7);
    std::uniform_int_distribution<int> grid(0, 2000000);
    for (int i = 0; i < 20000; ++i) {
        // Half the values are near ties (multiples of 0.0005 and 0.05), half spread widely.
        const float f = i % 2 == 0 ? static_cast<float>(std::pow(10.0, magnitude(gen)))
                                   : static_cast<float>(grid(gen) * 0.0005);
        const float v = i % 3 == 0 ? -f : f;
        ASSERT_EQ(threeDecimalForm(v), expected(v, 7, 3)) << v;
        ASSERT_EQ(oneDecimalForm(v), expected(v, 7, 1)) << v;
    }
}

TEST(FixedFormsExact, RandomDoublesMatchExactDecimalRounding) {
    std::mt19937_64 gen(54321);
    std::uniform_real_distribution<double> magnitude(-6, 12);
    std::uniform_int_distribution<long long> grid(0, 2000000000LL);
    for (int i = 0; i < 20000; ++i) {
        const double d = i % 2 == 0 ? std::pow(10.0, magnitude(gen)) : grid(gen) * 0.0005;
        ASSERT_EQ(threeDecimalForm(d), expected(d, 15, 3)) << d;
    }
}

} // namespace
