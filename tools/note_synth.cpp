// SPDX-License-Identifier: MIT
#include "note_synth.h"

#include "core/note_capture.h"
#include "files/failure.h"
#include "sound/stepper_timbre.h"
#include "sound/wave_writer.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>
#include <ostream>
#include <string>

namespace chimex {

namespace {

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

} // namespace

double loopFrequency(int keyIndex, double seconds) {
    const Loop loop = loopFor(keyIndex, seconds);
    return static_cast<double>(loop.periods) * noteSampleRate / loop.samples;
}

std::vector<std::int16_t> synthesiseNote(int keyIndex, double seconds) {
    const Loop loop = loopFor(keyIndex, seconds);
    const double fundamental = loopFrequency(keyIndex, seconds);
    const int partials = stepperPartialCount(fundamental);
    std::vector<double> wave(static_cast<std::size_t>(loop.samples), 0.0);
    for (int n = 1; n <= partials; ++n) {
        const double amplitude = stepperPartialAmplitude(n, fundamental);
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
    WaveWriter wave(out);
    wave.write(samples);
    wave.finish();
}

void writeNoteFiles(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    for (int key = 0; key < keyCount; ++key) {
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
