// SPDX-License-Identifier: MIT
#include "note_synth.h"

#include "platform/failure.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>
#include <ostream>
#include <string>

namespace chimex {

namespace {

constexpr double c3Frequency = 130.8127826502993; // A4 = 440 Hz, 21 semitones below middle A
constexpr double resonanceFrequency = 2400.0;     // Hz; the ringing of the motor's frame
constexpr double resonanceWidth = 900.0;          // Hz
constexpr double highestPartial = 16000.0;        // Hz; keeps the tone clear of the Nyquist limit

struct Loop {
    int periods;
    int samples;
};

Loop loopFor(int keyIndex, double seconds) {
    const double frequency = keyFrequency(keyIndex);
    const int periods = std::max(1, static_cast<int>(std::lround(frequency * seconds)));
    const int samples = static_cast<int>(std::lround(periods * noteSampleRate / frequency));
    return {periods, samples};
}

/// Amplitude of the n-th harmonic: a pulse train's 1/n fall-off lifted around the resonance, with
/// even harmonics weaker, as in the square-ish current of a stepper's coils.
double partialAmplitude(int n, double fundamental) {
    const double f = n * fundamental;
    const double lift = (f - resonanceFrequency) / resonanceWidth;
    const double resonance = 1.0 + 2.5 * std::exp(-lift * lift);
    const double evenDamping = (n % 2 == 0) ? 0.45 : 1.0;
    return resonance * evenDamping / n;
}

void put32(std::ostream& out, std::uint32_t v) {
    const char bytes[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                           static_cast<char>((v >> 16) & 0xFF),
                           static_cast<char>((v >> 24) & 0xFF)};
    out.write(bytes, 4);
}

void put16(std::ostream& out, std::uint16_t v) {
    const char bytes[2] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
    out.write(bytes, 2);
}

} // namespace

double keyFrequency(int keyIndex) {
    return c3Frequency * std::pow(2.0, keyIndex / 12.0);
}

double loopFrequency(int keyIndex, double seconds) {
    const Loop loop = loopFor(keyIndex, seconds);
    return static_cast<double>(loop.periods) * noteSampleRate / loop.samples;
}

std::vector<std::int16_t> synthesiseNote(int keyIndex, double seconds) {
    const Loop loop = loopFor(keyIndex, seconds);
    const double fundamental = loopFrequency(keyIndex, seconds);
    const int partials = std::max(1, static_cast<int>(highestPartial / fundamental));
    std::vector<double> wave(static_cast<std::size_t>(loop.samples), 0.0);
    for (int n = 1; n <= partials; ++n) {
        const double amplitude = partialAmplitude(n, fundamental);
        // n * periods whole cycles over the loop: every partial ends where it began.
        const double step = 2.0 * std::numbers::pi * n * loop.periods / loop.samples;
        for (std::size_t k = 0; k < wave.size(); ++k) {
            wave[k] += amplitude * std::sin(step * static_cast<double>(k));
        }
    }
    double peak = 0.0;
    for (double v : wave) {
        peak = std::max(peak, std::abs(v));
    }
    const double scale = peak > 0.0 ? notePeakLevel * 32767.0 / peak : 0.0;
    std::vector<std::int16_t> samples(wave.size());
    std::transform(wave.begin(), wave.end(), samples.begin(),
                   [scale](double v) { return static_cast<std::int16_t>(std::lround(v * scale)); });
    return samples;
}

void writeWave(std::ostream& out, const std::vector<std::int16_t>& samples) {
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    out.write("RIFF", 4);
    put32(out, 36 + dataBytes);
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1); // PCM
    put16(out, 1); // mono
    put32(out, noteSampleRate);
    put32(out, noteSampleRate * 2);
    put16(out, 2);
    put16(out, 16);
    out.write("data", 4);
    put32(out, dataBytes);
    for (std::int16_t s : samples) {
        put16(out, static_cast<std::uint16_t>(s));
    }
}

void writeNoteFiles(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    for (int key = 0; key < 37; ++key) {
        const auto path = folder / (std::to_string(key) + ".wav");
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        writeWave(out, synthesiseNote(key));
        out.close();
        if (!out) {
            throw Failure("Cannot write the note sound " + path.string());
        }
    }
}

} // namespace chimex
