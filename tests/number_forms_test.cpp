// SPDX-License-Identifier: MIT
#include "files/failure.h"
#include "partfile/number_forms.h"

#include <gtest/gtest.h>

#include <limits>

using namespace chimex;

namespace {

struct Case {
    double value;
    const char* text;
};

TEST(PlainForm, TableExamplesAndEdges) {
    const Case cases[] = {{0, "0"},
                          {5, "5"},
                          {0.5, "0.5"},
                          {1.463, "1.463"},
                          {0.76514906, "0.7651491"},
                          {1234567.8, "1234568"},
                          {12345678, "1.234568E+07"},
                          {0.00001, "1E-05"},
                          // Edges of the exponent form.
                          {9999999.4, "9999999"},
                          {10000000, "1E+07"},
                          {0.0001, "0.0001"},
                          {0.00009999, "9.999E-05"},
                          {96, "96"},
                          {0.3658537, "0.3658537"},
                          {1e30, "1E+30"},
                          {2.5e-30, "2.5E-30"},
                          {123456.7, "123456.7"},
                          {2, "2"},
                          {1.2, "1.2"},
                          // Negative values carry a minus sign in every form.
                          {-1.463, "-1.463"},
                          {-12345678, "-1.234568E+07"},
                          {-0.00001, "-1E-05"}};
    for (const auto& c : cases) {
        EXPECT_EQ(plainForm(static_cast<float>(c.value)), c.text) << c.value;
    }
    EXPECT_EQ(plainForm(-0.0f), "0");
}

TEST(ThreeDecimalForm, TableExamplesSingle) {
    const Case cases[] = {{0, ".000"},
                          {0.5, ".500"},
                          {0.76514906, ".765"},
                          {0.0625, ".063"},
                          {12.3456, "12.346"},
                          {12345.6, "12345.600"},
                          {1.0005, "1.001"},
                          {0.0004, ".000"},
                          {0.0005, ".001"},
                          {999.9996, "1000.000"},
                          {1024.0625, "1024.062"}, // a tie at the 7th digit: to even
                          {1024.1875, "1024.188"},
                          {1e10, "10000000000.000"},
                          {-0.0625, "-.063"},
                          {-12.3456, "-12.346"},
                          {-0.0001, ".000"}};
    for (const auto& c : cases) {
        EXPECT_EQ(threeDecimalForm(static_cast<float>(c.value)), c.text) << c.value;
    }
}

TEST(ThreeDecimalForm, DoubleUsesFifteenDigits) {
    // 1.4634146... is the key 24 speed at MaxXYSpeed 3; 0.2496 is a gap that rounds to .250.
    EXPECT_EQ(threeDecimalForm(4.0 * static_cast<double>(3.0f / 8.2f)), "1.463");
    EXPECT_EQ(threeDecimalForm(0.2496), ".250");
    EXPECT_EQ(threeDecimalForm(0.0625), ".063");
    EXPECT_EQ(threeDecimalForm(2.0004999999999999), "2.001"); // 15 digits: 2.00050000000000
    EXPECT_EQ(threeDecimalForm(-3.5), "-3.500");
}

TEST(OneDecimalForm, TableExamples) {
    const Case cases[] = {{0, ".0"},      {0.04, ".0"},    {0.25, ".3"},      {0.31, ".3"},
                          {0.35, ".4"},   {1.96, "2.0"},   {123.46, "123.5"}, {0.05, ".1"},
                          {-0.25, "-.3"}, {99.96, "100.0"}};
    for (const auto& c : cases) {
        EXPECT_EQ(oneDecimalForm(static_cast<float>(c.value)), c.text) << c.value;
    }
}

TEST(NumberForms, NonFiniteValuesAreRefusedNotWritten) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_THROW(plainForm(inf), Failure);
    EXPECT_THROW(plainForm(nan), Failure);
    EXPECT_THROW(threeDecimalForm(-inf), Failure);
    EXPECT_THROW(threeDecimalForm(std::numeric_limits<double>::quiet_NaN()), Failure);
    EXPECT_THROW(oneDecimalForm(nan), Failure);
}

TEST(RoundThroughThreeDecimals, ReadsTheTextBack) {
    EXPECT_EQ(roundThroughThreeDecimals(0.0625f), 0.063f);
    EXPECT_EQ(roundThroughThreeDecimals(0.2496), 0.25f);
    EXPECT_EQ(roundThroughThreeDecimals(0.0004f), 0.0f);
    EXPECT_EQ(roundThroughThreeDecimals(static_cast<double>(3.0f / 8.2f)), 0.366f);
    // A double beyond the single range cannot be stored as a single.
    EXPECT_THROW(roundThroughThreeDecimals(1e300), Failure);
}

} // namespace
