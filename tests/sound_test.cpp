// SPDX-License-Identifier: MIT
#include "files/failure.h"
#include "sound/stepper_voice.h"
#include "sound/wave_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <streambuf>

namespace chimex {
namespace {

std::uint32_t little32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

TEST(WaveWriter, FillsInTheSizesWhereverTheFileStarts) {
    std::stringstream out;
    out << "xyz";
    WaveWriter wave(out);
    const std::vector<std::int16_t> samples = {1, -1, 300};
    wave.write(samples);
    wave.write(samples);
    wave.finish();
    const std::string bytes = out.str();
    ASSERT_EQ(bytes.size(), 3u + 44u + 12u);
    EXPECT_EQ(bytes.substr(3, 4), "RIFF");
    EXPECT_EQ(little32(bytes, 3 + 4), 36u + 12u);
    EXPECT_EQ(little32(bytes, 3 + 40), 12u);
    EXPECT_EQ(bytes.substr(3 + 44, 2), std::string("\x01\x00", 2));
    EXPECT_EQ(wave.samplesWritten(), 6u);
}

/// A stream that takes bytes but cannot go back.
class OneWay : public std::streambuf {
  protected:
    int_type overflow(int_type c) override { return c; }
};

TEST(WaveWriter, FailsOnAStreamThatCannotGoBack) {
    OneWay sink;
    std::ostream out(&sink);
    WaveWriter wave(out);
    EXPECT_THROW(wave.finish(), Failure);
}

TEST(StepperVoice, IsSilentForPitchesItCannotSampleAndFallsQuietAfterItsRamp) {
    StepperWaveTables tables;
    for (double frequency : {0.0, -5.0, 22050.0, 30000.0, std::nan("")}) {
        StepperVoice voice(tables, 44100);
        voice.sound(frequency);
        for (int i = 0; i < 1000; ++i) {
            ASSERT_EQ(voice.next(), 0.0f) << frequency;
        }
        EXPECT_TRUE(voice.quiet());
    }
    StepperVoice voice(tables, 44100);
    voice.sound(21000); // a plain sine: nothing above it would fit under 22.05 kHz
    float peak = 0;
    for (int i = 0; i < 4410; ++i) {
        peak = std::max(peak, std::abs(voice.next()));
    }
    EXPECT_GT(peak, 0.9f);
    EXPECT_LE(peak, 1.0f);
    voice.silence();
    for (int i = 0; i < 133; ++i) {
        voice.next();
    }
    EXPECT_TRUE(voice.quiet());
    EXPECT_EQ(voice.next(), 0.0f);
}

} // namespace
} // namespace chimex
