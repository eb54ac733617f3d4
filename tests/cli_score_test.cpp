// SPDX-License-Identifier: MIT
#include "cli/score/score_source.h"
#include "cli/score/text_score_reader.h"
#include "files/failure.h"
#include "midi_builder.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace chimex {
namespace {

std::vector<ScoreNote> readAll(const std::string& text) {
    std::istringstream in(text);
    TextScoreReader reader(in);
    std::vector<ScoreNote> notes;
    while (auto note = reader.next()) {
        notes.push_back(*note);
    }
    return notes;
}

TEST(TextScoreReader, ReadsNotesSkippingBlankLinesAndComments) {
    const auto notes = readAll("\xEF\xBB\xBF# a tune\r\n"
                               "24 0.523\r\n"
                               "\r\n"
                               "   \t\n"
                               "12\t1.2  0.31   # second note\n"
                               "36 2 0\r"
                               "0 0 86399.999");
    const ScoreNote expected[] = {{24, 0.523, 0}, {12, 1.2, 0.31}, {36, 2, 0}, {0, 0, 86399.999}};
    ASSERT_EQ(notes.size(), std::size(expected));
    for (std::size_t i = 0; i < notes.size(); ++i) {
        EXPECT_EQ(notes[i].key, expected[i].key) << i;
        EXPECT_DOUBLE_EQ(notes[i].hold, expected[i].hold) << i;
        EXPECT_DOUBLE_EQ(notes[i].gap, expected[i].gap) << i;
    }
}

struct BadScore {
    const char* text;
    const char* message;
};

class TextScoreErrors : public ::testing::TestWithParam<BadScore> {};

TEST_P(TextScoreErrors, NameTheLineAndWhatIsWrong) {
    try {
        readAll(GetParam().text);
        FAIL() << "no error for " << GetParam().text;
    } catch (const InputFailure& failure) {
        EXPECT_STREQ(failure.what(), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, TextScoreErrors,
    ::testing::Values(
        BadScore{"1 1\n37 1\n", "line 2: the key must be a whole number from 0 to 36, not \"37\""},
        BadScore{"-1 1\n", "line 1: the key must be a whole number from 0 to 36, not \"-1\""},
        BadScore{"C4 1\n", "line 1: the key must be a whole number from 0 to 36, not \"C4\""},
        BadScore{"2.5 1\n", "line 1: the key must be a whole number from 0 to 36, not \"2.5\""},
        BadScore{"\n\n5\n", "line 3: the hold time is missing (expected KEY HOLD [GAP])"},
        BadScore{"5 1 2 3\n", "line 1: too many fields (expected KEY HOLD [GAP])"},
        BadScore{"5 x\n", "line 1: the hold time must be a number of seconds, not \"x\""},
        BadScore{"5 1,5\n", "line 1: the hold time must be a number of seconds, not \"1,5\""},
        BadScore{"5 inf\n", "line 1: the hold time must be a number of seconds, not \"inf\""},
        BadScore{"5 nan\n", "line 1: the hold time must be a number of seconds, not \"nan\""},
        BadScore{"5 1e999\n", "line 1: the hold time must be a number of seconds, not \"1e999\""},
        BadScore{"5 -0.5\n", "line 1: the hold time must be at least 0 and less than 86400 "
                             "seconds, not \"-0.5\""},
        BadScore{"5 1 86400\n",
                 "line 1: the gap must be at least 0 and less than 86400 seconds, not \"86400\""},
        BadScore{"5 1 0x10\n", "line 1: the gap must be a number of seconds, not \"0x10\""}));

TEST(TextScoreReader, RefusesAnOverlongLine) {
    const std::string line(LineReader::maxLength + 10, '1');
    EXPECT_THROW(readAll("1 1\n" + line + "\n"), InputFailure);
}

TEST(OpenScore, TellsMidiFromTextByContentAndName) {
    const test::Bytes midi =
        test::midiFile(0, 480, {test::TrackBuilder().on(0, 60).off(480, 60).end()});
    std::istringstream midiIn(std::string(midi.begin(), midi.end()));
    const OpenedScore fromMidi = openScore(midiIn, "tune", {});
    EXPECT_TRUE(fromMidi.midi);
    EXPECT_EQ(fromMidi.notes->next()->key, 12);
    std::istringstream textIn("24 0.5\n");
    const OpenedScore fromText = openScore(textIn, "tune.mid.txt", {});
    EXPECT_FALSE(fromText.midi);
    EXPECT_EQ(fromText.notes->next()->key, 24);
    std::istringstream textNamedMidi("24 0.5\n");
    EXPECT_THROW(openScore(textNamedMidi, "tune.MID", {}), InputFailure);
}

} // namespace
} // namespace chimex
