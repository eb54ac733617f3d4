// SPDX-License-Identifier: MIT
#include "cli/score/midi_file.h"
#include "cli/score/midi_voice.h"
#include "partfile/number_forms.h"
#include "take/midi_take_writer.h"
#include "take/take.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

namespace chimex {
namespace {

std::string midiBytes(const std::vector<TakeNote>& notes) {
    std::ostringstream out;
    writeMidiTake(out, notes);
    return out.str();
}

TEST(MidiTake, IsAFormat0FileOfTheNotesOneAfterTheOther) {
    // Key 24 (note 72) held 1 ms, then key 0 (note 48) held 0 ms after a gap of 2 ms.
    // The track opens with the program's mark, sealed by the events after it.
    const std::string expected("MThd\0\0\0\6\0\0\0\1\x05\xDC"
                               "MTrk\0\0\0\x44"
                               "\0\xFF\x01\x25"
                               "Chimex Vedadazu take 2f01e505adad2ca2"
                               "\0\xFF\x51\x03\x07\xA1\x20"
                               "\0\x90\x48\x64\x03\x80\x48\x40"
                               "\x06\x90\x30\x64\x01\x80\x30\x40"
                               "\0\xFF\x2F\0",
                               90);
    EXPECT_EQ(midiBytes({{24, 0, 0.001f}, {0, 0.002f, 0}}), expected);
}

TEST(MidiTake, EveryTimeSurvivesTheThreeDecimalsWhenReadBack) {
    // Times as note capture leaves them: rounded through the three-decimal form.
    const auto r = [](double seconds) {
        return roundThroughThreeDecimals(seconds);
    };
    const std::vector<TakeNote> notes = {{0, 0, r(0.5)},          {36, r(0.25), 0},
                                         {36, 0, r(0.001)},       {12, 0, r(1.234)},
                                         {5, r(86399.9), r(2.5)}, {7, r(0.001), r(7000.123)}};
    const std::string bytes = midiBytes(notes);
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::vector<ScoreNote> read = reduceToOneVoice(readMidiFile({data, bytes.size()}), {});
    ASSERT_EQ(read.size(), notes.size());
    for (std::size_t i = 0; i < notes.size(); ++i) {
        EXPECT_EQ(read[i].key, notes[i].key) << i;
        EXPECT_EQ(roundThroughThreeDecimals(read[i].hold), notes[i].hold) << i;
        EXPECT_EQ(roundThroughThreeDecimals(read[i].gap), notes[i].gap) << i;
    }
}

TEST(MidiTake, OnlyAnUnchangedTakeCountsAsTheProgramsOwn) {
    const std::string take = midiBytes({{24, 0, 0.5f}});
    std::string edited = take;
    edited[edited.size() - 6] = '\x30'; // another note
    const std::string longer = take + std::string(1, '\0');
    const std::pair<std::string, bool> files[] = {
        {take, true},    {midiBytes({}), true},       {edited, false},
        {longer, false}, {take.substr(0, 30), false}, {"MThd", false},
        {"", false},
    };
    for (const auto& [bytes, own] : files) {
        EXPECT_EQ(isOwnTake(bytes), own) << bytes.size();
    }
}

TEST(Take, GoesWhereNoFileOfTheUsersIsReplaced) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("take_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto tune = folder / "song.gxp";
    const auto put = [](const std::filesystem::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    };
    EXPECT_EQ(takeDestination(tune), folder / "song.mid") << "nothing there";
    put(folder / "song.mid", midiBytes({{1, 0, 1}}));
    EXPECT_EQ(takeDestination(tune), folder / "song.mid") << "an earlier take";
    put(folder / "song.mid", "MThd the user's own song");
    ::mkfifo((folder / "song (2).mid").c_str(), 0600);
    std::filesystem::create_directory(folder / "song (3).mid");
    // A link, even to an unchanged take, and a take that is read-only are not free either.
    std::filesystem::create_directory(folder / "elsewhere");
    put(folder / "elsewhere" / "song.mid", midiBytes({}));
    std::filesystem::create_symlink(folder / "elsewhere" / "song.mid", folder / "song (4).mid");
    put(folder / "song (5).mid", midiBytes({}));
    std::filesystem::permissions(folder / "song (5).mid", std::filesystem::perms(0444));
    put(folder / "song (6).mid", midiBytes({}));
    EXPECT_EQ(takeDestination(tune), folder / "song (6).mid");
    std::filesystem::remove_all(folder);
}

TEST(Take, LiesBesideTheTuneFileAndNeverReplacesIt) {
    EXPECT_EQ(takePath("/tunes/first song.gxp"), "/tunes/first song.mid");
    EXPECT_EQ(takePath("/tunes/Chimex"), "/tunes/Chimex.mid");
    EXPECT_EQ(takePath("/tunes/song.MID"), "/tunes/song.MID.mid");
}

} // namespace
} // namespace chimex
