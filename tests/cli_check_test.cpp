// SPDX-License-Identifier: MIT
#include "cli/check/check_output.h"
#include "cli/check/part_check.h"
#include "cli/common/settings_choice.h"
#include "partfile/line_texts.h"
#include "text_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace chimex {
namespace {

/// A finished part file as its lines: two notes (X to 0.765 at 1.463, Z to 0.878 at 0.732) with a
/// pause of 0.3 seconds between them.
std::vector<std::string> sampleLines() {
    std::ostringstream out;
    writeHeader(out, {0.7651491f, 0, 0.8784f, 0, 0, 0, 1.463f, 0.732f});
    writeMoveBlock(out, Axis::X, 1.463f, 0.523f, 0.7651491f);
    writePauseLine(out, 0.31f);
    writeMoveBlock(out, Axis::Z, 0.732f, 1.2f, 0.8784f);
    writeFooter(out);
    return test::crlfLines(out.str());
}

CheckReport check(const std::vector<std::string>& lines,
                  const MachineLimits& limits = machineLimits()) {
    std::istringstream in(test::crlfText(lines));
    return checkMoveFile(in, limits);
}

TEST(PartCheck, ReplaysACleanFile) {
    const auto lines = sampleLines();
    ASSERT_EQ(lines.size(), 45u);
    const CheckReport report = check(lines);
    EXPECT_TRUE(report.clean()) << report.violations.front().message;
    EXPECT_EQ(report.lines, 45);
    EXPECT_EQ(report.notes.notes(), 2);
    EXPECT_EQ(report.pauses, 2); // the start pause and the one between the notes
    EXPECT_DOUBLE_EQ(report.extents[0].high, 0.765);
    EXPECT_DOUBLE_EQ(report.extents[1].high, 0.0);
    EXPECT_DOUBLE_EQ(report.extents[2].high, 0.878);
    EXPECT_DOUBLE_EQ(report.fastestXYSpeed, 1.463);
    EXPECT_DOUBLE_EQ(report.fastestZSpeed, 0.732);
    EXPECT_NEAR(report.runningSeconds, 2 + 0.765 / 1.463 + 0.3 + 0.878 / 0.732, 1e-12);
}

TEST(PartCheck, RunningTimeWithAnAccelerationIncludesTheRamps) {
    std::istringstream in(test::crlfText(sampleLines()));
    const CheckReport report = checkMoveFile(
        in, machineLimits(), [](const MoveIssue&) {}, AxisAcceleration{4, 0.5});
    // X reaches its speed: a trapezoid lasting L/v + v/a. Z is too short: a triangle, 2·√(L/a).
    EXPECT_NEAR(report.runningSeconds,
                2 + 0.765 / 1.463 + 1.463 / 4 + 0.3 + 2 * std::sqrt(0.878 / 0.5), 1e-12);
}

struct Damage {
    const char* name;
    int line; ///< line replaced (1-based); 0 removes nothing and appends nothing
    const char* text;
    long long reportedLine;
    const char* message;
};

class PartCheckDamage : public ::testing::TestWithParam<Damage> {};

TEST_P(PartCheckDamage, FindsTheViolationAtItsLine) {
    auto lines = sampleLines();
    const Damage& d = GetParam();
    lines[static_cast<std::size_t>(d.line - 1)] = d.text;
    const CheckReport report = check(lines);
    ASSERT_FALSE(report.clean());
    const auto found =
        std::find_if(report.violations.begin(), report.violations.end(), [&](const MoveIssue& v) {
            return v.line == d.reportedLine && v.message.find(d.message) != std::string::npos;
        });
    EXPECT_NE(found, report.violations.end()) << "first: line " << report.violations.front().line
                                              << ": " << report.violations.front().message;
}

// Lines of the sample: 9 maximum X, 15 maximum Z, 18/19 fastest speeds, 25 start move,
// 34 JS, 36 J3 X, 37 PAUSE, 39 JS Z, 41 J3 Z.
INSTANTIATE_TEST_SUITE_P(
    Files, PartCheckDamage,
    ::testing::Values(
        Damage{"BeyondTheLimit", 36, "J3, 96.000", 36, "X moves to 96, outside 0 to 96"},
        Damage{"BelowZero", 41, "J3,,, -.5", 41, "Z moves to -0.5, outside 0 to 6"},
        Damage{"OntoZero", 41, "J3, .000", 41, "X moves to 0, outside 0 to 96"},
        Damage{"WrongHeaderExtent", 9, "' Maximum X-axis value for this file is 5", 9,
               "the header states 5 as the maximum X-axis value, but the file reaches 0.765"},
        Damage{"WrongFastestSpeed", 19, "' Fastest Z-axis jog speed is 0.7", 19,
               "fastest Z jog speed"},
        Damage{"MissingHeaderValue", 15, "' Maximum Z value", 0,
               "the header does not state the maximum Z-axis value"},
        Damage{"MalformedJog", 36, "J3, 0.5x", 36, "the J3 X coordinate is not a number"},
        Damage{"UnknownCommand", 36, "G0 X1", 36, "not a line of a part file"},
        Damage{"TooManySpeeds", 34, "JS, 1, 2, 3", 34, "JS takes at most two speeds"},
        Damage{"PauseWithoutNumber", 37, "PAUSE, soon", 37, "PAUSE without a number"},
        Damage{"NegativePause", 37, "PAUSE, -3.2", 37, "a pause of negative length"},
        Damage{"ZTooFast", 39, "JS,, 2.5", 41, "Z jogs at 2.5, faster than the Z limit 2"},
        Damage{"XYTooFast", 34, "JS, 3.01", 36, "faster than the X and Y limit 3"},
        Damage{"SpeedNeverSet", 34, "' no speed", 36, "the machine's own jog speed"},
        Damage{"ZeroSpeed", 39, "JS,, 0", 41, "would never arrive"},
        Damage{"CutBeforeTheFooter", 45, "", 0,
               "the file does not end with the footer's lines \"JS,&oldJogXYSpeed\" and"}),
    [](const auto& info) { return info.param.name; });

TEST(PartCheck, ListsEveryViolationInLineOrder) {
    auto lines = sampleLines();
    lines[40] = "J3,,, 7";                                  // line 41: beyond MaxZ
    lines[8] = "' Maximum X-axis value for this file is 1"; // line 9
    lines[35] = "J3, oops";                                 // line 36: X then never moves
    const CheckReport report = check(lines);
    std::vector<long long> at;
    for (const auto& v : report.violations) {
        at.push_back(v.line);
    }
    // The header disagrees with the moves: X stays at 0 (line 9) and at no speed (line 18), Z
    // reaches 7 (line 15).
    EXPECT_THAT(at, ::testing::ElementsAre(9, 15, 18, 36, 41));
}

TEST(PartCheck, SettingsLimitsApply) {
    MachineLimits tight = machineLimits();
    tight.MaxZ = 0.5f;
    tight.MaxXYSpeed = 1.4f;
    const CheckReport report = check(sampleLines(), tight);
    ASSERT_EQ(report.violations.size(), 2u);
    EXPECT_EQ(report.violations[0].line, 36);
    EXPECT_EQ(report.violations[1].line, 41);
}

TEST(PartCheck, HandEditedFormsAreWellFormed) {
    auto lines = sampleLines();
    lines[33] = "  js, 1.4630  "; // lower case, blanks, trailing zero
    lines[35] = "J3, 0.7651";     // more decimals: agrees with the header at three
    lines[11] = "' Maximum Y-axis value for this file is .5";
    lines.insert(lines.begin() + 36, "J3, .765, .5"); // two axes at once
    lines.insert(lines.begin() + 37, "J3, .765, 0");  // back again
    const CheckReport report = check(lines);
    EXPECT_TRUE(report.clean()) << report.violations.front().line << ": "
                                << report.violations.front().message;
    EXPECT_EQ(report.notes.notes(), 2);
}

TEST(PartCheck, OnlyAStartMoveMayTouchZero) {
    auto lines = sampleLines();
    lines.insert(lines.begin() + 37, "J3, .5, 0, 0");
    EXPECT_TRUE(check(lines).clean());
    lines[37] = "J3, 0";
    EXPECT_FALSE(check(lines).clean());
}

TEST(CheckJson, KeepsUtf8AndEscapesTheRest) {
    EXPECT_EQ(jsonString("Lied f\xC3\xBCr \xE2\x99\xAA.txt"),
              "\"Lied f\xC3\xBCr \xE2\x99\xAA.txt\"");
    EXPECT_EQ(jsonString("a\"\\\t\x7F"), "\"a\\\"\\\\\\u0009\\u007f\"");
    // Latin-1, a cut sequence, an overlong form, a surrogate: not UTF-8.
    EXPECT_EQ(jsonString("\xFC|\xE2\x99|\xC0\xAF|\xED\xA0\x80"),
              "\"\\ufffd|\\ufffd\\ufffd|\\ufffd\\ufffd|\\ufffd\\ufffd\\ufffd\"");
}

TEST(CheckJson, NamesEachLimitAsTheSettingsFileDoes) {
    std::ostringstream out;
    CheckPrinter printer(out, "song.txt", true);
    printer.finish(check(sampleLines()), {6, 3.5f, 1.25f, 2, 0.5f});
    EXPECT_THAT(out.str(), ::testing::EndsWith("\"limits\": {\"MaxX\": 6, \"MaxY\": 3.5, "
                                               "\"MaxZ\": 1.25, \"MaxXYSpeed\": 2, "
                                               "\"MaxZSpeed\": 0.5}}\n"));
}

TEST(PartNumber, ReadsTheFormsThePartFileWrites) {
    struct Case {
        const char* text;
        std::optional<double> value;
    };
    for (const Case& c :
         {Case{".765", 0.765}, Case{"12.346", 12.346}, Case{"-.5", -0.5}, Case{"+2", 2.0},
          Case{"1.234568E+07", 12345680.0}, Case{"1E-05", 1e-05}, Case{"7.", 7.0},
          Case{"", std::nullopt}, Case{".", std::nullopt}, Case{"1..2", std::nullopt},
          Case{"1E", std::nullopt}, Case{"0x10", std::nullopt}, Case{"1e39", std::nullopt},
          Case{"inf", std::nullopt}, Case{"1 2", std::nullopt}}) {
        EXPECT_EQ(readPartNumber(c.text), c.value) << c.text;
    }
}

} // namespace
} // namespace chimex
