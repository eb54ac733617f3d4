// SPDX-License-Identifier: MIT
#include "cli/command_line.h"
#include "scratch_folder.h"
#include "sound/key_pitch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <numbers>
#include <span>
#include <sstream>

namespace chimex {
namespace {

using test::ScratchFolder;

using ::testing::HasSubstr;
using ::testing::Not;

constexpr double rate = 44100;

struct Wave {
    int channels = 0;
    int sampleRate = 0;
    int bits = 0;
    std::vector<std::int16_t> samples;
};

std::uint32_t little(const std::string& bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

/// Decodes a canonical 44-byte-header PCM WAV file; the sizes must agree with the file.
Wave decode(const std::string& bytes) {
    Wave wave;
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(little(bytes, 4, 4), bytes.size() - 8);
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(little(bytes, 20, 2), 1u); // PCM
    wave.channels = static_cast<int>(little(bytes, 22, 2));
    wave.sampleRate = static_cast<int>(little(bytes, 24, 4));
    wave.bits = static_cast<int>(little(bytes, 34, 2));
    EXPECT_EQ(bytes.substr(36, 4), "data");
    const std::uint32_t dataBytes = little(bytes, 40, 4);
    EXPECT_EQ(dataBytes, bytes.size() - 44);
    for (std::size_t at = 44; at + 1 < bytes.size(); at += 2) {
        wave.samples.push_back(static_cast<std::int16_t>(little(bytes, at, 2)));
    }
    return wave;
}

/// Samples `begin` to `end` (not included); a failure, and only the samples there are, when the
/// wave ends sooner: a fault that shortens the wave fails the test rather than reading past it.
std::span<const std::int16_t> stretch(const Wave& wave, std::size_t begin, std::size_t end) {
    const std::size_t size = wave.samples.size();
    EXPECT_LE(end, size) << "the wave ends at " << static_cast<double>(size) / rate << " s";
    end = std::min(end, size);
    begin = std::min(begin, end);
    return std::span(wave.samples).subspan(begin, end - begin);
}

std::span<const std::int16_t> stretch(const Wave& wave, double from, double to) {
    return stretch(wave, static_cast<std::size_t>(from * rate),
                   static_cast<std::size_t>(to * rate));
}

/// Samples of a stretch of sound under a Hann window.
std::vector<double> windowed(const Wave& wave, double from, double to) {
    const auto samples = stretch(wave, from, to);
    std::vector<double> out;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double k = static_cast<double>(i) / static_cast<double>(samples.size());
        out.push_back((0.5 - 0.5 * std::cos(2 * std::numbers::pi * k)) * samples[i]);
    }
    return out;
}

/// Strength of `frequency` in `x`: one DFT bin by the Goertzel recurrence.
double strength(const std::vector<double>& x, double frequency) {
    const double c = 2 * std::cos(2 * std::numbers::pi * frequency / rate);
    double s1 = 0, s2 = 0;
    for (double v : x) {
        const double s0 = v + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - c * s1 * s2)) /
           static_cast<double>(x.size());
}

/// The pitch sounding from `from` to `to` seconds (a quarter second from the middle): the
/// strongest frequency between 0.6 and 1.6 times the expected one, when nothing sounds an octave
/// below it.
double pitchBetween(const Wave& wave, double from, double to, double expected) {
    const double middle = (from + to) / 2;
    const auto x = windowed(wave, middle - 0.125, middle + 0.125);
    double best = 0, bestStrength = 0;
    auto search = [&](double low, double high, double factor) {
        for (double f = low; f < high; f *= factor) {
            if (const double s = strength(x, f); s > bestStrength) {
                best = f;
                bestStrength = s;
            }
        }
    };
    search(0.6 * expected, 1.6 * expected, 1.003);
    search(best / 1.004, best * 1.004, 1.0002);
    EXPECT_LT(strength(x, best / 2), 0.05 * bestStrength)
        << "something sounds an octave below " << best << " Hz";
    return best;
}

int largestStep(const Wave& wave, double from, double to) {
    int largest = 0;
    const auto samples = stretch(wave, from, to);
    for (std::size_t i = 0; i + 1 < samples.size(); ++i) {
        largest = std::max(largest, std::abs(samples[i + 1] - samples[i]));
    }
    return largest;
}

class Listen : public ::testing::Test {
  protected:
    ExitStatus listen(const std::string& part, std::vector<std::string> options) {
        std::ofstream(path("part.txt"), std::ios::binary) << part;
        std::vector<std::string> args = {"listen", path("part.txt"), "-o", path("out.wav")};
        args.insert(args.end(), options.begin(), options.end());
        err.str("");
        return runCommandLine(args, {out, err, false});
    }
    Wave written() const {
        std::ifstream in(path("out.wav"), std::ios::binary);
        return decode(std::string(std::istreambuf_iterator<char>(in), {}));
    }
    std::string path(const std::string& name) const { return (folder.path() / name).string(); }

    ScratchFolder folder;
    std::ostringstream out;
    std::ostringstream err;
};

// Times: start pause 0-2 s; X 2-4; pause 4-4.5; Z 4.5-6.5; Y 6.5-7.5; X 7.5-8; X 8-9.
constexpr const char* song = "' a hand-written part file\r\n"
                             "PAUSE 2\r\n"
                             "JS, 0.5\r\n"
                             "J3, 1\r\n"
                             "PAUSE, .5\r\n"
                             "JS,, 0.25\r\n"
                             "J3,,, 0.5\r\n"
                             "JS, 1.5\r\n"
                             "J3,, 1.5\r\n"
                             "J3, 0.25\r\n"
                             "JS, 1\r\n"
                             "J3, 1.25\r\n";

struct Note {
    double from;
    double to;
    double hertz;
};

TEST_F(Listen, EachJogHumsAtItsStepRateForItsTime) {
    ASSERT_EQ(listen(song, {"--steps-per-unit", "880", "--z-steps-per-unit", "1200"}),
              ExitStatus::Done);
    const Wave wave = written();
    EXPECT_EQ(wave.channels, 1);
    EXPECT_EQ(wave.sampleRate, 44100);
    EXPECT_EQ(wave.bits, 16);
    EXPECT_EQ(wave.samples.size(), 9u * 44100u);
    for (const Note& note : {Note{2, 4, 440}, Note{4.5, 6.5, 300}, Note{6.5, 7.5, 1320},
                             Note{7.5, 8, 1320}, Note{8, 9, 880}}) {
        EXPECT_NEAR(pitchBetween(wave, note.from, note.to, note.hertz) / note.hertz, 1.0, 0.003)
            << "the note from " << note.from << " s";
    }
    EXPECT_EQ(largestStep(wave, 0, 1.999), 0) << "the start pause is silent";
    EXPECT_EQ(largestStep(wave, 4.01, 4.49), 0) << "the pause is silent";
    EXPECT_THAT(err.str(), HasSubstr("5 notes, 9.0 s"));
    EXPECT_THAT(err.str(), Not(HasSubstr("warning")));
}

TEST_F(Listen, WithAnAccelerationEachHumGlidesThroughItsRamps) {
    // X jogs 1 at 0.5 with 0.5 units/s²: up for 1 s, 1 s at 440 Hz, down for 1 s, from 2 s to 5 s.
    ASSERT_EQ(
        listen("PAUSE 2\r\nJS, 0.5\r\nJ3, 1\r\n", {"--steps-per-unit", "880", "--accel", "0.5"}),
        ExitStatus::Done);
    const Wave wave = written();
    EXPECT_EQ(wave.samples.size(), 5u * 44100u);
    for (const Note& note :
         {Note{2.375, 2.625, 220}, Note{3.25, 3.75, 440}, Note{4.375, 4.625, 220}}) {
        EXPECT_NEAR(pitchBetween(wave, note.from, note.to, note.hertz) / note.hertz, 1.0, 0.01)
            << "the hum at " << (note.from + note.to) / 2 << " s";
    }
    EXPECT_THAT(err.str(), HasSubstr("1 notes, 5.0 s"));
}

TEST_F(Listen, GcodeWithTunedFeedsSoundsEachKeysPitch) {
    const std::vector<int> keys = {0, 5, 9, 14, 19, 24};
    std::ofstream score(path("score.txt"));
    for (const int key : keys) {
        score << key << " 0.6 0.4\n";
    }
    score.close();
    ASSERT_EQ(runCommandLine({"render", path("score.txt"), "-o", path("tune.gcode"), "--pause",
                              "--format", "gcode", "--dialect", "marlin", "--unit", "mm",
                              "--steps-per-unit", "400"},
                             {out, err, false}),
              ExitStatus::Done);
    EXPECT_THAT(err.str(), HasSubstr("0 notes moved down by octaves"));
    ASSERT_EQ(runCommandLine(
                  {"listen", path("tune.gcode"), "-o", path("out.wav"), "--steps-per-unit", "400"},
                  {out, err, false}),
              ExitStatus::Done);
    const Wave wave = written();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const double from = 2.0 + static_cast<double>(i); // after the start pause, a note a second
        const double pitch = keyFrequency(keys[i]);
        EXPECT_NEAR(pitchBetween(wave, from, from + 0.6, pitch) / pitch, 1.0, 0.005)
            << "key " << keys[i];
    }
}

TEST_F(Listen, AChordOfThreeAxesSoundsEachVoiceAtItsPitch) {
    // Three half-second chords after the start pause, each axis at its pitch over 200 steps.
    const std::vector<std::array<double, 3>> chords = {
        {440, 330, 247}, {392, 294, 175}, {523, 349, 196}};
    std::string gcode = "(file created by Gantrix Chimex software, G-code for LinuxCNC)\r\n"
                        "G21 G90 G94 G61.1\r\nG4 P2\r\n";
    std::array<double, 3> at{};
    for (const auto& chord : chords) {
        gcode += "G1";
        for (std::size_t axis = 0; axis < 3; ++axis) {
            at[axis] += chord[axis] / 200 * 0.5;
            gcode += std::string(" ") + "XYZ"[axis] + std::to_string(at[axis]);
        }
        const double feed = std::hypot(chord[0], chord[1], chord[2]) / 200 * 60;
        gcode += " F" + std::to_string(feed) + "\r\n";
    }
    ASSERT_EQ(listen(gcode + "M2\r\n", {"--steps-per-unit", "200"}), ExitStatus::Done);
    const Wave wave = written();
    ASSERT_EQ(wave.samples.size(), static_cast<std::size_t>(3.5 * rate));
    for (std::size_t i = 0; i < chords.size(); ++i) {
        const double middle = 2.25 + 0.5 * static_cast<double>(i);
        const auto x = windowed(wave, middle - 0.125, middle + 0.125);
        for (const double pitch : chords[i]) {
            double peak = pitch, peakStrength = 0;
            for (double f = pitch * 0.97; f < pitch * 1.03; f *= 1.0005) {
                if (const double s = strength(x, f); s > peakStrength) {
                    peak = f;
                    peakStrength = s;
                }
            }
            EXPECT_NEAR(peak / pitch, 1.0, 0.005) << pitch << " Hz in chord " << i;
            EXPECT_GT(peakStrength, 300) << pitch << " Hz in chord " << i; // a voice, not a leak
        }
    }
    const auto loudest = std::max_element(wave.samples.begin(), wave.samples.end(),
                                          [](int a, int b) { return std::abs(a) < std::abs(b); });
    EXPECT_LT(std::abs(*loudest), 32767) << "three voices together do not clip";
}

/// Phase in radians, at `at` seconds, of the component at `frequency` Hz measured over the
/// tenth of a second before `at` (or after it).
double phaseAt(const Wave& wave, double at, double frequency, bool before) {
    const auto join = static_cast<std::size_t>(std::lround(at * rate));
    const long length = 4410;
    const auto first = before ? join - static_cast<std::size_t>(length) : join;
    const auto samples = stretch(wave, first, first + static_cast<std::size_t>(length));
    double re = 0, im = 0;
    for (long k = 0; k < static_cast<long>(samples.size()); ++k) {
        const long n = before ? k - length : k;
        const double window = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * k / length);
        const double angle = 2 * std::numbers::pi * frequency * static_cast<double>(n) / rate;
        const double v = window * samples[static_cast<std::size_t>(k)];
        re += v * std::cos(angle);
        im -= v * std::sin(angle);
    }
    return std::atan2(im, re);
}

TEST_F(Listen, AMotorChangingPitchKeepsItsPhase) {
    // Steps that are not whole numbers of periods, so a phase that starts anew would show.
    ASSERT_EQ(listen(song, {"--steps-per-unit", "881.3"}), ExitStatus::Done);
    const Wave wave = written();
    // X hums at 1.5 x 881.3 Hz until 8 s, then at 881.3 Hz: the fundamental runs on.
    const double jump = phaseAt(wave, 8, 881.3, false) - phaseAt(wave, 8, 1.5 * 881.3, true);
    EXPECT_NEAR(std::remainder(jump, 2 * std::numbers::pi), 0, 0.1);
}

TEST_F(Listen, SoundsStartAndStopOverThreeMilliseconds) {
    ASSERT_EQ(listen(song, {"--steps-per-unit", "880", "--z-steps-per-unit", "1200"}),
              ExitStatus::Done);
    const Wave wave = written();
    const double peak = 0.3 * 32767;
    const long ramp = 132;
    for (double onset : {2.0, 4.5}) {
        const auto n0 = static_cast<std::size_t>(onset * rate);
        const auto samples = stretch(wave, n0, n0 + ramp);
        for (long k = 0; k < static_cast<long>(samples.size()); ++k) {
            ASSERT_LE(std::abs(samples[static_cast<std::size_t>(k)]),
                      peak * static_cast<double>(k + 1) / ramp + 2)
                << "sample " << k << " after " << onset << " s";
        }
    }
    for (double end : {4.0, 9.0}) {
        const auto n0 = static_cast<std::size_t>(end * rate) - (end == 9.0 ? ramp : 0);
        const auto samples = stretch(wave, n0, n0 + ramp);
        for (long k = 0; k < static_cast<long>(samples.size()); ++k) {
            ASSERT_LE(std::abs(samples[static_cast<std::size_t>(k)]),
                      peak * static_cast<double>(ramp - k) / ramp + 2)
                << "sample " << k << " of the fade at " << end << " s";
        }
    }
}

TEST_F(Listen, WarnsOnceEachAboutStepRatesNobodyHears) {
    const std::string part = "PAUSE 2\r\nJS, 0.01\r\nJ3, 0.02\r\nJ3, 0.01\r\nJS, 30\r\n"
                             "J3, 30.01\r\nJ3, 45.01\r\nJ3, 15.01\r\nJS, 1\r\nJ3, 16.01\r\n";
    ASSERT_EQ(listen(part, {"--steps-per-unit", "1000"}), ExitStatus::Done);
    EXPECT_THAT(err.str(),
                HasSubstr("warning: 2 jogs step below 20 Hz, too slow to be heard as a note "
                          "(first at line 3: 10 Hz)"));
    EXPECT_THAT(err.str(),
                HasSubstr("warning: 3 jogs step above 20 kHz, too fast to be heard (silent from "
                          "22.05 kHz) (first at line 6: 30000 Hz)"));
    const Wave wave = written();
    EXPECT_EQ(wave.samples.size(), static_cast<std::size_t>(8.5 * rate));
    EXPECT_EQ(largestStep(wave, 5.01, 7.49), 0) << "30 kHz cannot be sampled: silence";
    EXPECT_NEAR(pitchBetween(wave, 7.5, 8.5, 1000), 1000, 3);
}

TEST_F(Listen, MovesAtTheMachinesOwnSpeedAreSilentAndUntimed) {
    ASSERT_EQ(
        listen("PAUSE 2\r\nJ3, 5\r\nJS,&oldJogXYSpeed \r\nJ3, 6\r\n", {"--steps-per-unit", "100"}),
        ExitStatus::Done);
    EXPECT_THAT(err.str(), HasSubstr("warning: 2 moves at the machine's own jog speed (no JS line "
                                     "sets it, or G0); not timed (first at line 2)"));
    EXPECT_EQ(written().samples.size(), 2u * 44100u);
}

TEST_F(Listen, SpeedsThatNeverGetThereAreUntimed) {
    ASSERT_EQ(listen("PAUSE 2\r\nJS, 1E-300\r\nJ3, 1E+30\r\nJS, 0\r\nJ3, 0\r\n",
                     {"--steps-per-unit", "5"}),
              ExitStatus::Done);
    EXPECT_THAT(err.str(), HasSubstr("2 moves at a speed that never gets there"));
    EXPECT_EQ(written().samples.size(), 2u * 44100u);
}

struct ListenRefusal {
    const char* name;
    const char* part;
    std::vector<std::string> options;
    ExitStatus status;
    const char* message;
};

class ListenRefusals : public Listen, public ::testing::WithParamInterface<ListenRefusal> {};

TEST_P(ListenRefusals, WriteNothing) {
    EXPECT_EQ(listen(GetParam().part, GetParam().options), GetParam().status);
    EXPECT_THAT(err.str(), HasSubstr(GetParam().message));
    EXPECT_FALSE(std::filesystem::exists(path("out.wav")));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListenRefusals,
    ::testing::Values(ListenRefusal{"NoStepsPerUnit",
                                    "PAUSE 2\r\n",
                                    {},
                                    ExitStatus::Usage,
                                    "listen needs --steps-per-unit N"},
                      ListenRefusal{"ZeroSteps",
                                    "PAUSE 2\r\n",
                                    {"--steps-per-unit", "0"},
                                    ExitStatus::Usage,
                                    "--steps-per-unit takes a number above 0"},
                      ListenRefusal{"WordForZSteps",
                                    "PAUSE 2\r\n",
                                    {"--steps-per-unit", "5", "--z-steps-per-unit", "many"},
                                    ExitStatus::Usage,
                                    "--z-steps-per-unit takes a number above 0"},
                      ListenRefusal{"MalformedLine",
                                    "PAUSE 2\r\nJS, 1\r\nJ3, far\r\n",
                                    {"--steps-per-unit", "5"},
                                    ExitStatus::BadInput,
                                    "part.txt: line 3: the J3 X coordinate is not a number"},
                      // 60,000 s is more than a WAV file holds; it fails before any sound is made.
                      ListenRefusal{"TooLongForWav",
                                    "JS, 0.001\r\nJ3, 60\r\n",
                                    {"--steps-per-unit", "5"},
                                    ExitStatus::OutputFailure,
                                    "longer than a WAV file can hold"},
                      ListenRefusal{"BeyondWholeSeconds",
                                    "JS, 1\r\nJ3, 3.4e38\r\n",
                                    {"--steps-per-unit", "5"},
                                    ExitStatus::OutputFailure,
                                    "runs for 3.4e+38 seconds"}),
    [](const auto& info) { return info.param.name; });

} // namespace
} // namespace chimex
