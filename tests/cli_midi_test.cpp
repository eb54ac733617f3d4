// SPDX-License-Identifier: MIT
#include "cli/input_failure.h"
#include "cli/midi_voice.h"
#include "midi_builder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace chimex {
namespace {

using test::Bytes;
using test::midiFile;
using test::TrackBuilder;

struct Played {
    int key;
    double hold;
    double gap;
};

std::vector<Played> play(const Bytes& bytes, const MidiSelection& selection = {}) {
    std::vector<Played> out;
    for (const ScoreNote& n : reduceToOneVoice(readMidiFile(bytes), selection)) {
        out.push_back({n.key, n.hold, n.gap});
    }
    return out;
}

MATCHER_P3(IsNote, key, hold, gap, "") {
    return arg.key == key && std::abs(arg.hold - hold) < 1e-9 && std::abs(arg.gap - gap) < 1e-9;
}

using ::testing::ElementsAre;

TEST(MidiVoice, WithoutTempoEventsRunsAt120BeatsAMinute) {
    // 480 ticks a quarter note at 120 bpm: 480 ticks are half a second.
    const auto bytes =
        midiFile(0, 480, {TrackBuilder().on(0, 60).off(480, 60).on(240, 62).off(960, 62).end()});
    EXPECT_THAT(play(bytes), ElementsAre(IsNote(12, 0.5, 0.0), IsNote(14, 1.0, 0.25)));
}

TEST(MidiVoice, FollowsTempoChangesMidSongInAnyTrack) {
    // 60 bpm from the start, 240 bpm from tick 960; the change sits in the second track.
    const auto bytes = midiFile(
        1, 480,
        {TrackBuilder().tempo(0, 1000000).on(480, 60).off(960, 60).on(480, 62).off(480, 62).end(),
         TrackBuilder().tempo(960, 250000).end()});
    EXPECT_THAT(play(bytes), ElementsAre(IsNote(12, 1.25, 0.0), IsNote(14, 0.25, 0.25)));
}

TEST(MidiVoice, TheHighestSoundingNoteWins) {
    const auto bytes = midiFile(0, 480,
                                {TrackBuilder()
                                     .on(0, 60)
                                     .on(240, 67)  // higher: takes over
                                     .on(0, 55)    // lower: unheard
                                     .off(240, 67) // back to 60, still held
                                     .off(480, 60)
                                     .off(0, 55)
                                     .end()});
    EXPECT_THAT(play(bytes),
                ElementsAre(IsNote(12, 0.25, 0.0), IsNote(19, 0.25, 0.0), IsNote(12, 0.5, 0.0)));
}

TEST(MidiVoice, ANoteStruckAgainAtItsReleaseIsTwoNotes) {
    const auto bytes =
        midiFile(0, 480, {TrackBuilder().on(0, 64).off(480, 64).on(0, 64).off(480, 64).end()});
    EXPECT_THAT(play(bytes), ElementsAre(IsNote(16, 0.5, 0.0), IsNote(16, 0.5, 0.0)));
}

TEST(MidiVoice, RunningStatusAndVelocityZeroAsNoteOff) {
    const auto bytes = midiFile(0, 480,
                                {TrackBuilder()
                                     .on(0, 72)
                                     .event(480, {72, 0}) // running status, velocity 0: off
                                     .event(0, {74, 90})  // running status note-on
                                     .event(480, {74, 0})
                                     .end()});
    EXPECT_THAT(play(bytes), ElementsAre(IsNote(24, 0.5, 0.0), IsNote(26, 0.5, 0.0)));
}

TEST(MidiVoice, MovesNotesByOctavesIntoTheKeyboard) {
    struct Case {
        int note;
        int key;
    };
    for (const Case c : {Case{48, 0}, Case{84, 36}, Case{47, 11}, Case{85, 25}, Case{0, 0},
                         Case{127, 31}, Case{30, 6}, Case{100, 28}}) {
        EXPECT_EQ(keyForNote(c.note), c.key) << c.note;
    }
    const auto bytes = midiFile(0, 480, {TrackBuilder().on(0, 100).off(480, 100).end()});
    MidiSelection down;
    down.transpose = -12;
    EXPECT_THAT(play(bytes, down), ElementsAre(IsNote(28, 0.5, 0.0))); // 88 -> 76
    MidiSelection up;
    up.transpose = 3;
    EXPECT_THAT(play(bytes, up), ElementsAre(IsNote(31, 0.5, 0.0))); // 103 -> 79
}

TEST(MidiVoice, TransposeComesBeforeChoosingTheHighest) {
    // 80 and 75 sound together; 80 + 5 = 85 folds down to 73, yet it is still the highest.
    const auto bytes =
        midiFile(0, 480, {TrackBuilder().on(0, 75).on(0, 80).off(480, 75).off(0, 80).end()});
    MidiSelection selection;
    selection.transpose = 5;
    EXPECT_THAT(play(bytes, selection), ElementsAre(IsNote(25, 0.5, 0.0)));
}

TEST(MidiVoice, TrackAndChannelSelectAPart) {
    const auto bytes = midiFile(
        1, 480,
        {TrackBuilder().on(0, 60, 100, 0).on(0, 72, 100, 9).off(480, 60, 0).off(0, 72, 9).end(),
         TrackBuilder().on(0, 84).off(240, 84).end()});
    EXPECT_THAT(play(bytes), ElementsAre(IsNote(36, 0.25, 0.0), IsNote(24, 0.25, 0.0)));
    MidiSelection track1;
    track1.track = 1;
    EXPECT_THAT(play(bytes, track1), ElementsAre(IsNote(24, 0.5, 0.0)));
    track1.channel = 1;
    EXPECT_THAT(play(bytes, track1), ElementsAre(IsNote(12, 0.5, 0.0)));
    MidiSelection track3;
    track3.track = 3;
    EXPECT_THROW(play(bytes, track3), InputFailure);
}

TEST(MidiVoice, SmpteTimeIgnoresTempo) {
    // 25 frames of 40 ticks: 1000 ticks a second.
    const auto bytes = midiFile(
        0, 0xE728,
        {TrackBuilder().tempo(0, 1000000).on(0, 60).off(500, 60).on(250, 61).off(1000, 61).end()});
    EXPECT_THAT(play(bytes), ElementsAre(IsNote(12, 0.5, 0.0), IsNote(13, 1.0, 0.25)));
}

TEST(MidiVoice, ANoteLeftSoundingEndsWithTheTrack) {
    const auto bytes = midiFile(0, 480, {TrackBuilder().on(0, 60).end(960)});
    EXPECT_THAT(play(bytes), ElementsAre(IsNote(12, 1.0, 0.0)));
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
