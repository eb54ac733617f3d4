// SPDX-License-Identifier: MIT
#include "cli/check/part_check.h"
#include "cli/common/settings_choice.h"
#include "cli/convert/gcode_convert.h"
#include "cli/convert/gcode_move_spool.h"
#include "cli/render/tuned_speeds.h"
#include "files/failure.h"
#include "machinefile/gcode_writer.h"
#include "machinefile/timed_move_reader.h"
#include "partfile/line_texts.h"
#include "partfile/number_forms.h"
#include "text_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace chimex {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

/// A finished part file: X to 0.765 at 1.463, a pause of 0.3 seconds, Z to 0.878 at 0.732.
std::string samplePart() {
    std::ostringstream out;
    writeHeader(out, {0.7651491f, 0, 0.8784f, 0, 0, 0, 1.463f, 0.732f});
    writeMoveBlock(out, Axis::X, 1.463f, 0.523f, 0.7651491f);
    writePauseLine(out, 0.31f);
    writeMoveBlock(out, Axis::Z, 0.732f, 1.2f, 0.8784f);
    writeFooter(out);
    return out.str();
}

CheckReport check(const std::string& text) {
    std::istringstream in(text);
    return checkMoveFile(in, machineLimits());
}

std::string gcodeOf(const std::string& part, const GcodeFormat& format) {
    std::istringstream in(part);
    std::ostringstream out;
    writeGcode(in, check(part), format, out);
    return out.str();
}

/// The moves of samplePart() as a render hands them on, written in one pass.
std::string spooledGcode(const GcodeFormat& format) {
    GcodeMoveSpool spool;
    spool.move(Axis::X, 1.463f, 0.523f, 0.7651491f, threeDecimalText(0.7651491f));
    spool.pause(0.0f); // legato with pauses on: no dwell, which would stop the machine
    spool.pause(0.31f);
    spool.move(Axis::Z, 0.732f, 1.2f, 0.8784f, threeDecimalText(0.8784f));
    std::ostringstream out;
    EXPECT_EQ(spool.writeGcode(out, format), 2);
    return out.str();
}

struct DialectCase {
    const char* name;
    GcodeFormat format;
    std::vector<std::string> lines; ///< the lines after the first comment and before the moves
    const char* moves;              ///< the start pause, the notes and the program end
};

const std::vector<std::string> commonHeader = {
    "User takes responsibility for the effects and outcomes",
    "of the use of this program.",
    "The machine will begin by moving to the 0,0,0 point, pause for",
    "2 seconds, and then start moving to play the song.",
    "Read the values below and make sure that your machine can",
    "safely move within that range.",
    "Maximum X-axis value for this file is 0.765",
    "Minimum X-axis value for this file is 0",
    "Maximum Y-axis value for this file is 0",
    "Minimum Y-axis value for this file is 0",
    "Maximum Z-axis value for this file is 0.878",
    "Minimum Z-axis value for this file is 0",
};

class Dialects : public ::testing::TestWithParam<DialectCase> {};

TEST_P(Dialects, WriteWhatTheirControllerAccepts) {
    const DialectCase& c = GetParam();
    const bool semicolon = commentsAfterSemicolon(c.format.dialect);
    const auto comment = [semicolon](const std::string& text) {
        return semicolon ? "; " + text : "(" + text + ")";
    };
    std::vector<std::string> expected = {
        comment("file created by Gantrix Chimex software, G-code for " +
                std::string(dialectName(c.format.dialect)))};
    for (const auto& line : commonHeader) {
        expected.push_back(comment(line));
    }
    for (const auto& line : c.lines) {
        expected.push_back(line.starts_with("G") || line.starts_with("M") ? line : comment(line));
    }
    const std::string text = gcodeOf(samplePart(), c.format);
    EXPECT_EQ(text, test::crlfText(expected) + c.moves);
    EXPECT_EQ(spooledGcode(c.format), text);
    std::string legato = samplePart();
    legato.insert(legato.find("PAUSE, .3"), "PAUSE, .0\r\n");
    EXPECT_EQ(gcodeOf(legato, c.format), text);
    for (const auto& line : test::crlfLines(text)) {
        EXPECT_LT(line.size(), 80u) << line; // GRBL's longest line
    }
}

const std::vector<std::string> stop = {"Check the extents above, then resume to move to 0, 0, 0",
                                       "and start the song, or stop the program to cancel.", "M0",
                                       "G0 X0 Y0 Z0"};

std::vector<std::string> join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

INSTANTIATE_TEST_SUITE_P(
    Gcode, Dialects,
    ::testing::Values(
        DialectCase{"LinuxCncInches",
                    {GcodeDialect::LinuxCnc, LengthUnit::Inch},
                    join({"Fastest X and Y axis feed is 87.78 in/min",
                          "Fastest Z-axis feed is 43.92 in/min", "G20 G90 G94 G61.1"},
                         stop),
                    "G4 P2\r\nG1 X0.765 F87.78\r\nG4 P0.3\r\nG1 Z0.878 F43.92\r\nM2\r\n"},
        DialectCase{"GrblMillimetres",
                    {GcodeDialect::Grbl, LengthUnit::Millimetre},
                    join({"Fastest X and Y axis feed is 87.78 mm/min",
                          "Fastest Z-axis feed is 43.92 mm/min", "G21 G90 G94"},
                         stop),
                    "G4 P2\r\nG1 X0.765 F87.78\r\nG4 P0.3\r\nG1 Z0.878 F43.92\r\nM2\r\n"},
        // Marlin: millimetres only, no G21 or G94, dwells in milliseconds, no M2 or M30 (which
        // deletes a file on the SD card).
        DialectCase{"MarlinMillimetres",
                    {GcodeDialect::Marlin, LengthUnit::Millimetre},
                    join({"Fastest X and Y axis feed is 87.78 mm/min",
                          "Fastest Z-axis feed is 43.92 mm/min", "G90"},
                         stop),
                    "G4 P2000\r\nG1 X0.765 F87.78\r\nG4 P300\r\nG1 Z0.878 F43.92\r\n"
                    "; End of the song.\r\n"},
        // Klipper: one command a line, no M0 (the header says how to start), an explicit feed
        // for the move to 0, 0, 0, as Marlin otherwise.
        DialectCase{"KlipperMillimetres",
                    {GcodeDialect::Klipper, LengthUnit::Millimetre},
                    {"Fastest X and Y axis feed is 87.78 mm/min",
                     "Fastest Z-axis feed is 43.92 mm/min", "G21", "G90",
                     "Klipper has no M0: the file runs straight through. Home the",
                     "printer - G28 - and check the extents above before you print it,",
                     "then start it as you start any print.", "G0 X0 Y0 Z0 F43.92"},
                    "G4 P2000\r\nG1 X0.765 F87.78\r\nG4 P300\r\nG1 Z0.878 F43.92\r\n"
                    "; End of the song.\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GcodeReading, ReportsWhatThePartFileReports) {
    const CheckReport part = check(samplePart());
    for (const auto dialect : {GcodeDialect::Grbl, GcodeDialect::LinuxCnc, GcodeDialect::Marlin,
                               GcodeDialect::Klipper}) {
        const CheckReport gcode = check(gcodeOf(samplePart(), {dialect, LengthUnit::Millimetre}));
        EXPECT_TRUE(gcode.clean()) << gcode.violations.front().message;
        EXPECT_EQ(gcode.notes.notes(), part.notes.notes());
        EXPECT_EQ(gcode.pauses, part.pauses);
        EXPECT_EQ(gcode.extents[0].high, part.extents[0].high);
        EXPECT_EQ(gcode.extents[2].high, part.extents[2].high);
        EXPECT_EQ(gcode.fastestXYSpeed, part.fastestXYSpeed);
        EXPECT_EQ(gcode.fastestZSpeed, part.fastestZSpeed);
        EXPECT_NEAR(gcode.runningSeconds, part.runningSeconds, 1e-9);
    }
}

struct SameDamage {
    const char* name;
    const char* partFrom;
    const char* partTo;
    const char* partAt; ///< the part file's line that moves, where a speed is reported
    const char* gcodeFrom;
    const char* gcodeTo;
    const char* marlinFrom; ///< Marlin's dwells are in milliseconds
    const char* marlinTo;
};

class GcodeDamage : public ::testing::TestWithParam<SameDamage> {};

/// The violations reported at the line that holds `text`, and that line's number.
std::vector<std::string> violationsAt(const std::string& file, const std::string& text) {
    const auto lines = test::crlfLines(file);
    const auto at = std::find(lines.begin(), lines.end(), text) - lines.begin() + 1;
    std::vector<std::string> messages;
    for (const MoveIssue& issue : check(file).violations) {
        if (issue.line == at) {
            messages.push_back(issue.message);
        }
    }
    return messages;
}

void replace(std::string& text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
}

TEST_P(GcodeDamage, IsFoundAtItsLineAsInThePartFile) {
    const SameDamage& d = GetParam();
    std::string part = samplePart();
    replace(part, d.partFrom, d.partTo);
    const auto partViolations = violationsAt(part, d.partAt);
    ASSERT_FALSE(partViolations.empty());
    for (const auto dialect : {GcodeDialect::Grbl, GcodeDialect::LinuxCnc, GcodeDialect::Marlin}) {
        const bool marlin = dialect == GcodeDialect::Marlin;
        std::string gcode = gcodeOf(samplePart(), {dialect, LengthUnit::Millimetre});
        replace(gcode, marlin ? d.marlinFrom : d.gcodeFrom, marlin ? d.marlinTo : d.gcodeTo);
        EXPECT_EQ(violationsAt(gcode, marlin ? d.marlinTo : d.gcodeTo), partViolations)
            << dialectName(dialect);
        EXPECT_EQ(check(gcode).violations.size(), check(part).violations.size());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Gcode, GcodeDamage,
    ::testing::Values(SameDamage{"OutsideTravel", "J3, .765", "J3, 97", "J3, 97",
                                 "G1 X0.765 F87.78", "G1 X97 F87.78", "G1 X0.765 F87.78",
                                 "G1 X97 F87.78"},
                      SameDamage{"TooFast", "JS,, 0.732", "JS,, 2.5", "J3,,, .878",
                                 "G1 Z0.878 F43.92", "G1 Z0.878 F150", "G1 Z0.878 F43.92",
                                 "G1 Z0.878 F150"},
                      SameDamage{"NegativePause", "PAUSE, .3", "PAUSE, -1.5", "PAUSE, -1.5",
                                 "G4 P0.3", "G4 P-1.5", "G4 P300", "G4 P-1500"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GcodeReading, RefusesLinesOutsideTheSubsetNamingThem) {
    const std::string text = "(file created by Gantrix Chimex software, G-code for GRBL)\r\n"
                             "X1\r\n"
                             "G91\r\n"
                             "G1 X1\r\n"
                             "N10 G1 X1 F60\r\n"
                             "G4\r\n"
                             "G1 X1 F0\r\n"
                             "(a (b) c)\r\n"
                             "G1 X1E2 F60\r\n"
                             "M3 S1000\r\n"
                             "G0 X1 X2\r\n"
                             "G4 P86401\r\n"
                             "G4 P0.5 G4\r\n"
                             "M0 X1\r\n"
                             "M1\r\n"
                             "%\r\n"
                             "G1 Z0.366 F21.96\rY0.5\r\n"
                             "(hold!)\r\n"
                             "(caf\xC3\xA9)\r\n"
                             "(LOGOPEN,/home/me/song.nc)\r\n"
                             "; End of the song.\r\n"
                             "(file created by Gantrix Chimex software, G-code for Marlin)\r\n";
    std::vector<std::string> found;
    for (const MoveIssue& issue : check(text).violations) {
        if (issue.line > 0) {
            found.push_back(std::to_string(issue.line) + ": " + issue.message);
        }
    }
    EXPECT_THAT(found, ElementsAre("2: a line starts with its G or M word (Marlin reads no other "
                                   "line): \"X1\"",
                                   "3: not G-code that chimex-cli reads: \"G91\"",
                                   "4: G1 before an F word sets the feed",
                                   "5: not G-code that chimex-cli reads: \"N10\"",
                                   "6: G4 takes P and nothing else, and P belongs to G4: \"G4\"",
                                   "7: the feed F must be above 0: \"G1 X1 F0\"",
                                   "8: a comment must close with ')' before another '(': "
                                   "\"(a (b) c)\"",
                                   "9: not G-code that chimex-cli reads: \"E2\"",
                                   "10: not G-code that chimex-cli reads: \"M3\"",
                                   "11: not G-code that chimex-cli reads: \"X2\"",
                                   "12: a dwell longer than a day: \"G4 P86401\"",
                                   "13: two words of one modal group on one line, which "
                                   "controllers refuse or read otherwise: \"G4 P0.5 G4\"",
                                   "14: X, Y or Z without G0 or G1 on its line",
                                   "15: not G-code that chimex-cli reads: \"M1\"",
                                   "16: a '%' line, which LinuxCNC takes for the start or end of "
                                   "the file or refuses",
                                   "17: a carriage return (CR) inside the line, where LinuxCNC "
                                   "reads on as one line and GRBL and Marlin end it; end lines "
                                   "with CR LF or LF: \"G1 Z0.366 F21.96?Y0.5\"",
                                   "18: GRBL acts on '!' at once wherever it stands, even in a "
                                   "comment (feed hold): \"(hold!)\"",
                                   "19: a byte outside printable ASCII, which GRBL takes as a "
                                   "command at once or drops, even in a comment: \"(caf?\?)\"",
                                   "20: a comment that chimex-cli does not write, which a "
                                   "controller or sender may act on (LinuxCNC on MSG, DEBUG, "
                                   "PRINT, LOG, LOGOPEN, ABORT and more): "
                                   "\"(LOGOPEN,/home/me/song.nc)\"",
                                   "21: a ';' comment in a file for GRBL or LinuxCNC, which "
                                   "chimex-cli writes in parentheses: \"; End of the song.\"",
                                   "22: the comment that names the controller belongs on the "
                                   "first line: \"(file created by Gantrix Chimex software, "
                                   "G-code for Marlin)\""));
}

TEST(TunedSpeeds, AreThePitchOverTheStepsMovedDownByOctavesToFit) {
    // 80 steps per unit for X, 100 for Y, 400 for Z; fastest speeds 3 and 0.5.
    const TunedSpeeds speeds = tunedSpeeds({80, 100, 400}, 3, 0.5f);
    EXPECT_FLOAT_EQ(speeds.speed[0][0], 130.81278f / 80);
    EXPECT_FALSE(speeds.lowered[0][0]);
    EXPECT_FLOAT_EQ(speeds.speed[1][0], 130.81278f / 100);
    EXPECT_FLOAT_EQ(speeds.speed[0][36], 1046.5023f / 80 / 8); // 13.08 is three octaves too fast
    EXPECT_TRUE(speeds.lowered[0][36]);
    EXPECT_FLOAT_EQ(speeds.speed[1][36], 1046.5023f / 100 / 4);
    EXPECT_FLOAT_EQ(speeds.speed[2][24], 523.25113f / 400 / 4);
    EXPECT_TRUE(speeds.lowered[2][24]);
    EXPECT_FLOAT_EQ(*speeds.of(36).y, speeds.speed[1][36]);
    // No octave fits a fastest speed of 0: X and Y refuse, Z is left for the planner to refuse.
    EXPECT_THROW(tunedSpeeds({80, 80, 80}, 0, 2), InputFailure);
    EXPECT_GT(tunedSpeeds({80, 80, 80}, 3, 0).speed[2][0], 0.0f);
}

struct SetupOrEnd {
    const char* name;
    GcodeDialect dialect;
    const char* from;
    const char* to;
    const char* message;
    bool wholeFile; ///< reported for the file as a whole (line 0)
};

class GcodeSetupAndEnd : public ::testing::TestWithParam<SetupOrEnd> {};

TEST_P(GcodeSetupAndEnd, AreRequiredWhereTheWriterPutsThem) {
    const SetupOrEnd& c = GetParam();
    std::string gcode = gcodeOf(samplePart(), {c.dialect, LengthUnit::Millimetre});
    ASSERT_TRUE(check(gcode).clean());
    replace(gcode, c.from, c.to);
    const CheckReport report = check(gcode);
    const auto found =
        std::find_if(report.violations.begin(), report.violations.end(), [&](const MoveIssue& v) {
            return (v.line == 0) == c.wholeFile && v.message.find(c.message) != std::string::npos;
        });
    EXPECT_NE(found, report.violations.end()) << report.violations.size() << " violations";
}

constexpr auto grbl = GcodeDialect::Grbl;
constexpr auto marlin = GcodeDialect::Marlin;
constexpr auto linuxCnc = GcodeDialect::LinuxCnc;
constexpr auto klipper = GcodeDialect::Klipper;

INSTANTIATE_TEST_SUITE_P(
    Gcode, GcodeSetupAndEnd,
    ::testing::Values(
        SetupOrEnd{"InchesMidFile", grbl, "G1 Z0.878", "G20\r\nG1 Z40",
                   "units and modes are set once, by the setup line", false},
        SetupOrEnd{"TwoUnitsOnTheSetupLine", grbl, "G21 G90 G94", "G20 G21 G90 G94",
                   "the setup line must be \"G21 G90 G94\" or \"G20 G90 G94\" alone", false},
        SetupOrEnd{"SetupWithoutFeedMode", grbl, "G21 G90 G94", "G21 G90", "the setup line must be",
                   false},
        SetupOrEnd{"NoSetupLine", grbl, "G21 G90 G94\r\n", "", "a move before the setup line",
                   false},
        // LinuxCNC's exact path mode, on its setup line; restated alone later, it changes nothing.
        SetupOrEnd{"LinuxCncPathModeTwice", GcodeDialect::LinuxCnc, "G21 G90 G94 G61.1",
                   "G21 G90 G94 G61.1 G61.1", "the setup line must be \"G21 G90 G94 G61.1\" or",
                   false},
        SetupOrEnd{"LinuxCncPathModeMidFile", GcodeDialect::LinuxCnc, "G1 Z0.878",
                   "G61.1 G90\r\nG1 Z0.878", "units and modes are set once", false},
        SetupOrEnd{"GrblExactPath", grbl, "G21 G90 G94", "G21 G90 G94 G61.1",
                   "the setup line must be \"G21 G90 G94\"", false},
        SetupOrEnd{"MarlinInInches", marlin, "G90\r\n", "G20 G90\r\n",
                   "the setup line must be \"G90\" alone", false},
        SetupOrEnd{"NoProgramEnd", grbl, "M2\r\n", "", "the file has no program end (M2)", true},
        SetupOrEnd{"MoveAfterTheEnd", grbl, "M2\r\n", "M2\r\nG1 X1 F60\r\n",
                   "a line after the program end", false},
        // LinuxCNC reads nothing after M2, where GRBL and Marlin go on.
        SetupOrEnd{"DwellAfterTheEnd", linuxCnc, "M2\r\n", "M2\r\nG4 P0.5\r\n",
                   "a line after the program end", false},
        SetupOrEnd{"MarlinDwellAfterTheEnd", marlin, "; End of the song.\r\n",
                   "; End of the song.\r\nG4 P500\r\n", "a line after the program end", false},
        // Lines LinuxCNC reads otherwise: a CR alone ends none; comments that act.
        SetupOrEnd{"LinuxCncLinesEndedByCr", linuxCnc, "\r\n", "\r",
                   "a carriage return (CR) inside the line", false},
        SetupOrEnd{"LinuxCncAbort", linuxCnc, "M0\r\n", "M0\r\n(ABORT, stop here)\r\n",
                   "a comment that chimex-cli does not write", false},
        SetupOrEnd{"LinuxCncHeaderWithWords", linuxCnc, "feed is 43.92 mm/min",
                   "feed is 43.92 mm/min DEBUG", "a comment that chimex-cli does not write", false},
        SetupOrEnd{"ByteOrderMark", linuxCnc, "(file", "\xEF\xBB\xBF(file",
                   "a UTF-8 byte-order mark before the first line", false},
        // Stock Marlin reads neither parentheses as comments, nor lower case, nor a line of axis
        // words alone.
        SetupOrEnd{"MarlinParentheses", marlin, "G1 X0.765 F87.78", "G1 X0.765 F87.78 (X90 Z5)",
                   "Marlin takes parentheses for no comment", false},
        SetupOrEnd{"MarlinLowerCase", marlin, "G1 X0.765 F87.78", "G1 x0.765 F87.78",
                   "Marlin reads lower-case G-code only when built to", false},
        SetupOrEnd{"MarlinAxisAlone", marlin, "G1 X0.765 F87.78\r\n",
                   "G1 X0.765 F87.78\r\nX0.5\r\n", "a line starts with its G or M word", false},
        SetupOrEnd{"MarlinCutShort", marlin, "; End of the song.\r\n", "",
                   "does not end with the comment \"End of the song.\"", true},
        SetupOrEnd{"MarlinProgramEnd", marlin, "; End of the song.", "M30",
                   "Marlin has no program end", false},
        SetupOrEnd{"KlipperSetupOnOneLine", klipper, "G21\r\nG90", "G21 G90",
                   "the setup lines must be \"G21\" then \"G90\"", false},
        SetupOrEnd{"KlipperOperatorStop", klipper, "G4 P2000", "M0\r\nG4 P2000",
                   "Klipper has no M0, M2 or M30", false},
        SetupOrEnd{"KlipperParentheses", klipper, "G1 X0.765 F87.78", "G1 X0.765 F87.78 (X9)",
                   "Klipper takes parentheses for no comment", false},
        SetupOrEnd{"KlipperLimitsOutOfOrder", klipper, "G4 P2000",
                   "SET_VELOCITY_LIMIT SQUARE_CORNER_VELOCITY=5 ACCEL=500 MINIMUM_CRUISE_RATIO=0"
                   "\r\nG4 P2000",
                   "SET_VELOCITY_LIMIT takes ACCEL, SQUARE_CORNER_VELOCITY and", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GcodeReading, TakesLineFeedsAloneAndReportsAByteOrderMarkOnce) {
    for (const auto dialect : {grbl, linuxCnc, marlin, klipper}) {
        std::string gcode = gcodeOf(samplePart(), {dialect, LengthUnit::Millimetre});
        EXPECT_EQ(check(std::string(byteOrderMark) + gcode).violations.size(), 1u);
        for (auto at = gcode.find("\r\n"); at != std::string::npos; at = gcode.find("\r\n", at)) {
            gcode.erase(at, 1);
        }
        EXPECT_TRUE(check(gcode).clean()) << dialectName(dialect);
    }
}

TEST(GcodeReading, TakesLinuxCncFilesOfEarlierVersionsWithoutExactPath) {
    std::string gcode = gcodeOf(samplePart(), {GcodeDialect::LinuxCnc, LengthUnit::Millimetre});
    replace(gcode, "G1 Z0.878", "G61.1\r\nG4 P0\r\nG1 Z0.878"); // and a dwell of no time
    EXPECT_TRUE(check(gcode).clean()) << "exact path restated alone";
    replace(gcode, "G21 G90 G94 G61.1", "G21 G90 G94");
    EXPECT_FALSE(check(gcode).clean()) << "exact path where the setup line chose blending";
    replace(gcode, "G61.1\r\n", "");
    EXPECT_TRUE(check(gcode).clean());
}

TEST(GcodeConversion, KeepsAJogOfSeveralAxesOneMoveOfTheSameLength) {
    std::string part = samplePart();
    // From X .765, Z .878 to X .5, Z .4 in one jog: Z takes longest, .478 / .732 s.
    replace(part, "J3,,, .878\r\n", "J3,,, .878\r\nJ3, .5, , .4\r\n");
    const CheckReport report = check(part);
    ASSERT_TRUE(report.clean()) << report.violations.front().message;
    const std::string gcode = gcodeOf(part, {GcodeDialect::Grbl, LengthUnit::Millimetre});
    EXPECT_THAT(gcode, HasSubstr("\r\nG1 X0.5 Z0.4 F"));
    const CheckReport again = check(gcode);
    EXPECT_TRUE(again.clean()) << again.violations.front().message;
    EXPECT_EQ(again.notes.notes(), report.notes.notes());
    EXPECT_NEAR(again.runningSeconds, report.runningSeconds, 1e-6);
}

TEST(GcodeReading, EachAxisOfAMoveOfSeveralRunsAtItsShareOfTheFeed) {
    std::string gcode = gcodeOf(samplePart(), {GcodeDialect::LinuxCnc, LengthUnit::Millimetre});
    // From X .765, Z .878: X .3 and Z .4, a line of .5 at 3 units/s, so X at 1.8 and Z at 2.4.
    const std::string chord = "G1 X1.065 Y0 Z1.278 F180";
    replace(gcode, "G1 Z0.878 F43.92\r\n", "G1 Z0.878 F43.92\r\n" + chord + "\r\n");
    EXPECT_THAT(
        violationsAt(gcode, chord),
        ElementsAre(AllOf(HasSubstr("Z jogs at 2.4,"), HasSubstr("faster than the Z limit 2"))));
    EXPECT_NEAR(check(gcode).runningSeconds, check(samplePart()).runningSeconds + 0.5 / 3, 1e-6);
    // With ramps the line accelerates at .625, where Z reaches its .5 at its share of .8: a
    // triangle of 2·√(.5 / .625) s for both axes, X speeding up at .375.
    std::istringstream in(gcode);
    TimedMoveReader reader(in, "chord.ngc", AxisAcceleration{4, 0.5});
    std::vector<std::array<double, 3>> chordMoves; // speed, seconds, acceleration
    while (const auto timed = reader.next()) {
        if (timed->event.alongPath) {
            chordMoves.push_back({*timed->event.speed, timed->seconds, timed->accel});
        }
    }
    const double seconds = 2 * std::sqrt(0.5 / 0.625);
    ASSERT_EQ(chordMoves.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_NEAR(chordMoves[i][0], i == 0 ? 1.8 : 2.4, 1e-9);
        EXPECT_NEAR(chordMoves[i][1], seconds, 1e-9);
        EXPECT_NEAR(chordMoves[i][2], i == 0 ? 0.375 : 0.5, 1e-9);
    }
}

// With LinuxCNC's task cycle known, a rest after a note is timed by its motion: a move of a
// millionth back towards the note's start, asked a servo period short of the rest and its stop
// (so slow a move ends in the period after); over 10 s, several, aside and back. Before any note,
// a dwell. check reads each rest move as a pause of its time.
TEST(GcodeWriting, LinuxCncRestsAreMovesTooShortForAStepOnceItsTaskCycleIsKnown) {
    Controller linuxCnc;
    linuxCnc.period = linuxCnc.stopDelay = linuxCnc.taskCycle = 0.001;
    std::ostringstream out;
    GcodeWriter writer(out, {GcodeDialect::LinuxCnc, LengthUnit::Millimetre});
    writer.writeStart({0.765, 0, 0.5, 0, 0, 0, 1.463, 0});
    writer.writeTimedRest(0.5, linuxCnc, std::nullopt);
    writer.writeMove(Axis::X, 0.765, 1.463);
    writer.writeTimedRest(0.299, linuxCnc, RestPlace{Axis::X, 0, 0.765});
    writer.writeMove(Axis::Y, 0.5, 1.463);
    writer.writeTimedRest(25, linuxCnc, RestPlace{Axis::Y, 0, 0.5});
    writer.writeMove(Axis::X, 0.3, 1.463);
    writer.writeEnd();
    EXPECT_THAT(out.str(), HasSubstr("G61.1\r\nG4 P0.5\r\nG1 X0.765 F87.78\r\n"
                                     "G1 X0.764999 F0.000200668896321\r\nG1 Y0.5 F87.78\r\n"
                                     "G1 Y0.499999 F0.000007200288012\r\n"
                                     "G1 Y0.5 F0.000007200288012\r\n"
                                     "G1 Y0.499999 F0.000007201152184\r\nG1 X0.3 F87.78\r\n"));
    const CheckReport report = check(out.str());
    EXPECT_TRUE(report.clean()) << report.violations.front().message;
    EXPECT_EQ(report.notes.notes(), 3);
    EXPECT_NEAR(report.runningSeconds, 0.5 + 0.299 + 24.998 + (0.765 + 0.5 + 0.465) / 1.463, 1e-6);
}

} // namespace
} // namespace chimex
