// SPDX-License-Identifier: MIT
#include "tools/note_synth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

using namespace chimex;

TEST(NoteSynth, KeysAreEqualTemperedFromC3ToC6) {
    EXPECT_NEAR(keyFrequency(0), 130.81, 0.005);
    EXPECT_NEAR(keyFrequency(9), 220.0, 1e-9);
    EXPECT_NEAR(keyFrequency(36), 1046.50, 0.005);
    for (int key : {0, 7, 19, 36}) {
        // The loop is a whole number of samples: its pitch is off by at most a fiftieth of a cent.
        EXPECT_NEAR(1200 * std::log2(loopFrequency(key) / keyFrequency(key)), 0.0, 0.02) << key;
    }
}

class NoteLoop : public testing::TestWithParam<int> {};

TEST_P(NoteLoop, RepeatsWithoutAClickAndLeavesHeadroom) {
    const int key = GetParam();
    const auto s = synthesiseNote(key);
    ASSERT_GT(s.size(), 40000u);
    int largestStep = 0;
    int peak = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const int next = s[(i + 1) % s.size()]; // the last sample runs on into the first
        largestStep = std::max(largestStep, std::abs(next - s[i]));
        peak = std::max(peak, std::abs(static_cast<int>(s[i])));
    }
    const int seam = std::abs(s.front() - s.back());
    EXPECT_LE(seam, largestStep);
    EXPECT_LE(peak, static_cast<int>(notePeakLevel * 32767) + 1);
    EXPECT_GT(peak, static_cast<int>(notePeakLevel * 32767) - 2);

    // One period on, the wave repeats (autocorrelation at the period is near its maximum).
    const double period = noteSampleRate / loopFrequency(key);
    const auto lag = static_cast<std::size_t>(std::lround(period));
    double same = 0, energy = 0;
    for (std::size_t i = 0; i + lag < s.size(); ++i) {
        same += static_cast<double>(s[i]) * s[i + lag];
        energy += static_cast<double>(s[i]) * s[i];
    }
    EXPECT_GT(same / energy, 0.9);
}

INSTANTIATE_TEST_SUITE_P(Keys, NoteLoop, testing::Values(0, 1, 12, 23, 36));

TEST(NoteSynth, WaveFileIsPcm16Mono44100) {
    std::ostringstream out;
    writeWave(out, {0, 1000, -1000});
    const std::string bytes = out.str();
    ASSERT_EQ(bytes.size(), 44u + 6u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(bytes.substr(36, 4), "data");
    EXPECT_EQ(static_cast<unsigned char>(bytes[22]), 1u);    // one channel
    EXPECT_EQ(static_cast<unsigned char>(bytes[24]), 0x44u); // 44100 = 0xAC44
    EXPECT_EQ(static_cast<unsigned char>(bytes[25]), 0xACu);
    EXPECT_EQ(static_cast<unsigned char>(bytes[34]), 16u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[46]), 0xE8u); // 1000 little-endian
}
