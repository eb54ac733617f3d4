// SPDX-License-Identifier: MIT
// The number forms against their former implementation, which took every digit from std::to_chars
// and built the text from std::string pieces: the forms now read the digits of most values off
// their exact binary expansion and must still give the same text for every value.
#include "partfile/number_forms.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace chimex;

namespace {

namespace former {

struct Digits {
    std::string digits;
    int pointPos = 0;
};

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

std::string plainForm(float value) {
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

} // namespace former

void expectSameSingleForms(float v) {
    ASSERT_EQ(plainForm(v), former::plainForm(v)) << v;
    ASSERT_EQ(threeDecimalForm(v), former::fixedForm(v, 7, 3)) << v;
    ASSERT_EQ(oneDecimalForm(v), former::fixedForm(v, 7, 1)) << v;
}

/// Singles of every exponent, ties at 7 digits (k + 1/2 for k up to 2^23), integers around 2^24,
/// and the magnitudes where the exact digit reading hands over to std::to_chars.
std::vector<float> singleSamples() {
    std::vector<float> values = {0.0f, -0.0f};
    std::mt19937 gen(2024);
    std::uniform_int_distribution<std::uint32_t> bits(0, 0x7F7FFFFF); // every finite magnitude
    for (int i = 0; i < 150000; ++i) {
        values.push_back(std::bit_cast<float>(bits(gen)));
    }
    std::uniform_int_distribution<int> whole(0, 1 << 23);
    for (int i = 0; i < 20000; ++i) {
        values.push_back(static_cast<float>(whole(gen)) + 0.5f);
        values.push_back(static_cast<float>((1 << 24) + whole(gen) * 2));
    }
    for (int exponent = -150; exponent <= 128; ++exponent) {
        for (const float m : {1.0f, 1.5f, 0.999999f, 1.000001f, 1.9999999f}) {
            values.push_back(std::ldexp(m, exponent));
        }
    }
    for (int power = -45; power <= 38; ++power) {
        const float p = static_cast<float>(std::pow(10.0, power));
        values.push_back(p);
        values.push_back(std::nextafter(p, 0.0f));
        values.push_back(std::nextafter(p, std::numeric_limits<float>::max()));
    }
    return values;
}

TEST(NumberFormsDifferential, SinglesMatchTheFormerForms) {
    for (const float v : singleSamples()) {
        if (!std::isfinite(v)) {
            continue;
        }
        expectSameSingleForms(v);
        expectSameSingleForms(-v);
    }
}

/// Doubles of every exponent, times and grids of 1/2000 as the clock gives them, and ties at 15
/// digits.
std::vector<double> doubleSamples() {
    std::vector<double> values = {0.0, -0.0};
    std::mt19937_64 gen(4048);
    std::uniform_int_distribution<std::uint64_t> bits(0, 0x7FEFFFFFFFFFFFFF);
    std::uniform_real_distribution<double> magnitude(-12, 20);
    std::uniform_real_distribution<double> seconds(0, 86400);
    std::uniform_int_distribution<long long> grid(0, 2000000000LL);
    for (int i = 0; i < 30000; ++i) {
        values.push_back(std::bit_cast<double>(bits(gen)));
        values.push_back(std::pow(10.0, magnitude(gen)));
        values.push_back(seconds(gen));
        values.push_back(static_cast<double>(grid(gen)) * 0.0005);
        values.push_back(static_cast<double>(grid(gen) % (1LL << 20)) + 0.5 / (1 << 20));
    }
    for (int exponent = -1075; exponent <= 1024; ++exponent) {
        for (const double m : {1.0, 1.5, 0.9999999999999999, 1.0000000000000002}) {
            values.push_back(std::ldexp(m, exponent));
        }
    }
    return values;
}

TEST(NumberFormsDifferential, DoublesMatchTheFormerForm) {
    for (const double v : doubleSamples()) {
        if (!std::isfinite(v)) {
            continue;
        }
        ASSERT_EQ(threeDecimalForm(v), former::fixedForm(v, 15, 3)) << v;
        ASSERT_EQ(threeDecimalForm(-v), former::fixedForm(-v, 15, 3)) << v;
    }
}

} // namespace
