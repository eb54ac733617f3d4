// SPDX-License-Identifier: MIT
// Finds when sound starts after a press and when it stops after a release in a recording.
// Usage: level_scan RAW_S16LE_MONO_44100 PRESS_SECONDS RELEASE_SECONDS
// The times are seconds from the recording's first sample. Prints the two delays in ms; exits 1
// when there is no sound while the key is held or no silence after it is released.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace {

constexpr int rate = 44100;
constexpr int window = rate / 200;  // 5 ms
constexpr double soundLevel = 0.01; // RMS share of full scale that counts as sound
constexpr double silenceLevel = 0.001;

double rms(const std::vector<std::int16_t>& s, std::size_t from) {
    double sum = 0;
    for (std::size_t i = from; i < from + window && i < s.size(); ++i) {
        sum += static_cast<double>(s[i]) * s[i];
    }
    return std::sqrt(sum / window) / 32768.0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: level_scan RAW PRESS RELEASE\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<std::int16_t> samples;
    std::int16_t v = 0;
    while (in.read(reinterpret_cast<char*>(&v), 2)) {
        samples.push_back(v);
    }
    const auto press = static_cast<std::size_t>(std::atof(argv[2]) * rate);
    const auto release = static_cast<std::size_t>(std::atof(argv[3]) * rate);
    if (release + rate / 2 > samples.size() || press >= release) {
        std::fprintf(stderr, "recording too short: %zu samples\n", samples.size());
        return 1;
    }
    std::size_t onset = 0;
    for (std::size_t i = press > rate / 10 ? press - rate / 10 : 0; i < release; i += window) {
        if (rms(samples, i) > soundLevel) {
            onset = i;
            break;
        }
    }
    if (onset == 0) {
        std::printf("no sound while the key was held\n");
        return 1;
    }
    for (std::size_t i = onset + window; i + window < release; i += window) {
        if (rms(samples, i) < soundLevel) {
            std::printf("the sound broke off %.0f ms after it began\n",
                        static_cast<double>(i - onset) * 1000.0 / rate);
            return 1;
        }
    }
    std::size_t quiet = 0;
    for (std::size_t i = release; i + window <= samples.size(); i += window) {
        if (rms(samples, i) > silenceLevel) {
            quiet = 0;
        } else if (quiet == 0) {
            quiet = i;
        }
    }
    if (quiet == 0 || samples.size() - quiet < static_cast<std::size_t>(rate / 5)) {
        std::printf("no silence after the release\n");
        return 1;
    }
    std::printf("press to sound: %.0f ms\nrelease to silence: %.0f ms\n",
                (static_cast<double>(onset) - static_cast<double>(press)) * 1000.0 / rate,
                (static_cast<double>(quiet) - static_cast<double>(release)) * 1000.0 / rate);
    return 0;
}
