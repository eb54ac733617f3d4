// SPDX-License-Identifier: MIT
#include "partfile/line_texts.h"
#include "text_files.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using namespace chimex;
using chimex::test::crlfText;

namespace {

const std::vector<std::string> headerWithZeros = {
    "' file created by Gantrix Chimex software",
    "' Chimex Vedadazu 1.0.0.0",
    "' User takes responsibility for the effects and outcomes of the use of this program.",
    "",
    "' Your Gantrix will begin by moving to the 0,0,0 point, pause for 2 seconds, and then start "
    "moving to play the song.",
    "",
    "' Read the values below and make sure that your Gantrix can safely move within that range.",
    "",
    "' Maximum X-axis value for this file is 0",
    "' Minimum X-axis value for this file is 0",
    "",
    "' Maximum Y-axis value for this file is 0",
    "' Minimum Y-axis value for this file is 0",
    "",
    "' Maximum Z-axis value for this file is 0",
    "' Minimum Z-axis value for this file is 0",
    "",
    "' Fastest X and Y axis jog speed is 0",
    "' Fastest Z-axis jog speed is 0",
    "",
    "",
    "INPUT \"Type (Y) to move to 0, 0, 0 to start the song, or any other key to cancel.\" &letsgo",
    "IF &letsgo <> Y THEN END ",
    "",
    "J3, 0, 0, 0",
    "",
    "' Save the current Jog Speeds...",
    "&oldJogXYSpeed = %(76)",
    "&oldJogZSpeed = %(78)",
    "",
    "PAUSE 2",
    ""};

const std::vector<std::string> footer = {"", "' Finally restore the original settings",
                                         "JS,&oldJogXYSpeed ", "JS,,&oldJogZSpeed "};

TEST(PartFileText, EmptyJournalGivesThirtySixLines) {
    std::ostringstream out;
    writeHeader(out, HeaderValues{});
    writeFooter(out);
    std::vector<std::string> lines = headerWithZeros;
    lines.insert(lines.end(), footer.begin(), footer.end());
    ASSERT_EQ(lines.size(), 36u);
    EXPECT_EQ(out.str(), crlfText(lines));
}

TEST(PartFileText, WorkedExampleByteForByte) {
    std::ostringstream journal;
    writeMoveBlock(journal, Axis::X, 1.463f, 0.523f, 0.76514906f);
    writePauseLine(journal, 0.31f);
    writeMoveBlock(journal, Axis::Z, 0.732f, 1.2f, 0.8784f);
    const std::vector<std::string> journalLines = {
        "", "JS, 1.463",  "' note duration = 0.523", "J3, .765",  "PAUSE, .3",
        "", "JS,, 0.732", "' note duration = 1.2",   "J3,,, .878"};
    EXPECT_EQ(journal.str(), crlfText(journalLines));

    HeaderValues values;
    values.HighX = 0.76514906f;
    values.HighZ = 0.8784f;
    values.TopXYSpeed = 1.463f;
    values.TopZSpeed = 0.732f;
    std::ostringstream file;
    writeHeader(file, values);
    file << journal.str();
    writeFooter(file);

    std::vector<std::string> lines = headerWithZeros;
    lines[8] = "' Maximum X-axis value for this file is 0.7651491";
    lines[14] = "' Maximum Z-axis value for this file is 0.8784";
    lines[17] = "' Fastest X and Y axis jog speed is 1.463";
    lines[18] = "' Fastest Z-axis jog speed is 0.732";
    lines.insert(lines.end(), journalLines.begin(), journalLines.end());
    lines.insert(lines.end(), footer.begin(), footer.end());
    ASSERT_EQ(lines.size(), 45u);
    EXPECT_EQ(file.str(), crlfText(lines));
}

TEST(PartFileText, MoveBlockVariantsAndWholeNumbers) {
    std::ostringstream out;
    writeMoveBlock(out, Axis::Y, 2.0f, 1.0f, 12.5f);
    writeMoveBlock(out, Axis::Z, 1.5f, 0.0f, 0.0004f);
    EXPECT_EQ(out.str(), "\r\nJS, 2\r\n' note duration = 1\r\nJ3,, 12.500\r\n"
                         "\r\nJS,, 1.5\r\n' note duration = 0\r\nJ3,,, .000\r\n");
}

} // namespace
