// SPDX-License-Identifier: MIT
#include "cli/score/midi_voice.h"
#include "files/failure.h"
#include "midi_builder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace chimex {
namespace {

using test::Bytes;
using test::midiFile;
using test::TrackBuilder;

struct Song {
    const char* name;
    Bytes bytes;
    MidiSelection selection;      ///< track, channel, transpose
    std::vector<ScoreNote> notes; ///< key, hold, gap
};

void PrintTo(const Song& song, std::ostream* out) {
    *out << song.name;
}

const Bytes note100 = midiFile(0, 480, {TrackBuilder().on(0, 100).off(480, 100).end()});
/// Track 1: notes 60 (channel 1) and 72 (channel 10) for 480 ticks; track 2: note 84 for 240.
const Bytes twoTracks = midiFile(
    1, 480,
    {TrackBuilder().on(0, 60, 100, 0).on(0, 72, 100, 9).off(480, 60, 0).off(0, 72, 9).end(),
     TrackBuilder().on(0, 84).off(240, 84).end()});

// At 480 ticks a quarter note and 120 beats a minute, 480 ticks are half a second.
const Song songs[] = {
    {"NoTempoMeans120BeatsAMinute",
     midiFile(0, 480, {TrackBuilder().on(0, 60).off(480, 60).on(240, 62).off(960, 62).end()}),
     {},
     {{12, 0.5, 0}, {14, 1.0, 0.25}}},
    // 60 beats a minute from the start, 240 from tick 960; the change sits in the second track.
    {"TempoChangeMidSongInAnyTrack",
     midiFile(
         1, 480,
         {TrackBuilder().tempo(0, 1000000).on(480, 60).off(960, 60).on(480, 62).off(480, 62).end(),
          TrackBuilder().tempo(960, 250000).end()}),
     {},
     {{12, 1.25, 0}, {14, 0.25, 0.25}}},
    // 67 takes over from 60, 55 below them is never heard, 60 sounds again when 67 ends.
    {"TheHighestSoundingNoteWins",
     midiFile(0, 480,
              {TrackBuilder()
                   .on(0, 60)
                   .on(240, 67)
                   .on(0, 55)
                   .off(240, 67)
                   .off(480, 60)
                   .off(0, 55)
                   .end()}),
     {},
     {{12, 0.25, 0}, {19, 0.25, 0}, {12, 0.5, 0}}},
    {"ANoteStruckAgainAtItsReleaseIsTwoNotes",
     midiFile(0, 480, {TrackBuilder().on(0, 64).off(480, 64).on(0, 64).off(480, 64).end()}),
     {},
     {{16, 0.5, 0}, {16, 0.5, 0}}},
    // After the first note-on, running status: velocity 0 ends a note, 90 starts one.
    {"RunningStatusAndVelocityZeroAsNoteOff",
     midiFile(0, 480,
              {TrackBuilder()
                   .on(0, 72)
                   .event(480, {72, 0})
                   .event(0, {74, 90})
                   .event(480, {74, 0})
                   .end()}),
     {},
     {{24, 0.5, 0}, {26, 0.5, 0}}},
    {"TransposedDownThenFolded", note100, {{}, {}, -12}, {{28, 0.5, 0}}}, // 88 -> 76
    {"TransposedUpThenFolded", note100, {{}, {}, 3}, {{31, 0.5, 0}}},     // 103 -> 79
    // 80 and 75 sound together; 80 + 5 = 85 folds down to 73, yet it is still the highest.
    {"TransposeComesBeforeChoosingTheHighest",
     midiFile(0, 480, {TrackBuilder().on(0, 75).on(0, 80).off(480, 75).off(0, 80).end()}),
     {{}, {}, 5},
     {{25, 0.5, 0}}},
    {"AllTracksAndChannels", twoTracks, {}, {{36, 0.25, 0}, {24, 0.25, 0}}},
    {"OneTrack", twoTracks, {1, {}, 0}, {{24, 0.5, 0}}},
    {"OneTrackAndChannel", twoTracks, {1, 1, 0}, {{12, 0.5, 0}}},
    // 25 frames of 40 ticks: 1000 ticks a second, whatever the tempo says.
    {"SmpteTimeIgnoresTempo",
     midiFile(
         0, 0xE728,
         {TrackBuilder().tempo(0, 1000000).on(0, 60).off(500, 60).on(250, 61).off(1000, 61).end()}),
     {},
     {{12, 0.5, 0}, {13, 1.0, 0.25}}},
    {"ANoteLeftSoundingEndsWithTheTrack",
     midiFile(0, 480, {TrackBuilder().on(0, 60).end(960)}),
     {},
     {{12, 1.0, 0}}},
};

class MidiVoice : public ::testing::TestWithParam<Song> {};

TEST_P(MidiVoice, PlaysAsOneVoice) {
    const Song& song = GetParam();
    const auto notes = reduceToOneVoice(readMidiFile(song.bytes), song.selection);
    ASSERT_EQ(notes.size(), song.notes.size());
    for (std::size_t i = 0; i < notes.size(); ++i) {
        EXPECT_EQ(notes[i].key, song.notes[i].key) << i;
        EXPECT_NEAR(notes[i].hold, song.notes[i].hold, 1e-9) << i;
        EXPECT_NEAR(notes[i].gap, song.notes[i].gap, 1e-9) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Songs, MidiVoice, ::testing::ValuesIn(songs),
                         [](const auto& info) { return info.param.name; });

TEST(MidiVoiceKeys, NotesMoveByOctavesIntoTheKeyboard) {
    struct Case {
        int note;
        int key;
    };
    for (const Case c : {Case{48, 0}, Case{84, 36}, Case{47, 11}, Case{85, 25}, Case{0, 0},
                         Case{127, 31}, Case{30, 6}, Case{100, 28}}) {
        EXPECT_EQ(keyForNote(c.note), c.key) << c.note;
    }
}

TEST(MidiVoiceKeys, AMissingTrackIsRefused) {
    EXPECT_THROW(reduceToOneVoice(readMidiFile(twoTracks), {3, {}, 0}), InputFailure);
}

TEST(MidiChords, KeepEveryVoiceAndLeaveOutDrumsUnlessChannel10IsChosen) {
    const auto keys = [](const MidiSelection& selection) {
        std::vector<std::array<double, 3>> found;
        for (const ChordNote& n : readChordNotes(readMidiFile(twoTracks), selection)) {
            found.push_back({static_cast<double>(n.key), n.start, n.end});
        }
        return found;
    };
    using Notes = std::vector<std::array<double, 3>>;
    EXPECT_EQ(keys({}), (Notes{{12, 0, 0.5}, {36, 0, 0.25}}));
    EXPECT_EQ(keys({{}, 10, 0}), (Notes{{24, 0, 0.5}}));
}

TEST(MidiFileReader, EveryTruncationIsAClearError) {
    const auto bytes = midiFile(1, 480,
                                {TrackBuilder()
                                     .tempo(0, 600000)
                                     .on(0, 60)
                                     .event(100, {0xF0, 2, 1, 0xF7})
                                     .off(480, 60)
                                     .end(),
                                 TrackBuilder().on(10, 70).event(480, {70, 0}).end()});
    ASSERT_NO_THROW(readMidiFile(bytes));
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        const std::span<const std::uint8_t> cut(bytes.data(), size);
        EXPECT_THROW(readMidiFile(cut), InputFailure) << "cut to " << size << " bytes";
    }
}

struct Damage {
    const char* name;
    Bytes bytes;
    const char* message;
};

class MidiFileDamage : public ::testing::TestWithParam<Damage> {};

TEST_P(MidiFileDamage, GivesAClearError) {
    try {
        readMidiFile(GetParam().bytes);
        FAIL() << "no error";
    } catch (const InputFailure& failure) {
        EXPECT_THAT(failure.what(), ::testing::HasSubstr(GetParam().message));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, MidiFileDamage,
    ::testing::Values(
        Damage{"NotMidi", {'R', 'I', 'F', 'F', 0, 0, 0, 6}, "does not begin with \"MThd\""},
        Damage{"Format2", midiFile(2, 480, {TrackBuilder().end()}), "format 2"},
        Damage{"ZeroDivision", midiFile(0, 0, {TrackBuilder().end()}), "0 ticks per quarter"},
        Damage{"OddFrameRate", midiFile(0, 0xE128, {TrackBuilder().end()}), "SMPTE time with 31"},
        Damage{"RunningStatusFirst", midiFile(0, 480, {TrackBuilder().event(0, {60, 100}).end()}),
               "a data byte without a status byte"},
        Damage{"StatusAsData", midiFile(0, 480, {TrackBuilder().event(0, {0x90, 0x90, 1}).end()}),
               "a status byte stands where a data byte belongs"},
        Damage{
            "LongVariableLength",
            midiFile(0, 480, {TrackBuilder().event(0, {0xFF, 0x01, 0x81, 0x81, 0x81, 0x81, 0x01})}),
            "longer than four bytes"},
        Damage{"HugeMetaLength",
               midiFile(0, 480, {TrackBuilder().event(0, {0xFF, 0x01, 0x8F, 0xFF, 0xFF, 0x7F})}),
               "truncated"},
        Damage{"ZeroTempo", midiFile(0, 480, {TrackBuilder().tempo(0, 0).end()}), "tempo of 0"},
        Damage{"SystemStatus", midiFile(0, 480, {TrackBuilder().event(0, {0xF4}).end()}),
               "cannot stand in a MIDI file"}),
    [](const auto& info) { return info.param.name; });

} // namespace
} // namespace chimex
