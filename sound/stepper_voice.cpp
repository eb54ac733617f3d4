// SPDX-License-Identifier: MIT
#include "stepper_voice.h"

#include "sound/stepper_timbre.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace chimex {
namespace {

constexpr double lowestBand = 8.0; // Hz; lower pitches use this band's table
constexpr double rampSeconds = 0.003;
constexpr double crossfadeSeconds = 0.002;

int bandOf(double frequency) {
    return std::max(0, static_cast<int>(std::floor(12.0 * std::log2(frequency / lowestBand))));
}

} // namespace

const std::vector<float>& StepperWaveTables::tableFor(double frequency) {
    const int band = bandOf(frequency);
    auto found = tables_.find(band);
    if (found != tables_.end()) {
        return found->second;
    }
    if (sine_.empty()) {
        sine_.resize(tableSize);
        for (int k = 0; k < tableSize; ++k) {
            sine_[k] = std::sin(2.0 * std::numbers::pi * k / tableSize);
        }
    }
    const double fundamental = lowestBand * std::pow(2.0, band / 12.0);
    const int partials = std::min(stepperPartialCount(fundamental), tableSize / 2 - 1);
    std::vector<double> wave(tableSize, 0.0);
    for (int n = 1; n <= partials; ++n) {
        const double amplitude = stepperPartialAmplitude(n, fundamental);
        for (int k = 0; k < tableSize; ++k) {
            wave[k] += amplitude * sine_[(n * k) % tableSize];
        }
    }
    double peak = 0;
    for (double v : wave) {
        peak = std::max(peak, std::abs(v));
    }
    std::vector<float> table(tableSize);
    std::transform(wave.begin(), wave.end(), table.begin(),
                   [peak](double v) { return static_cast<float>(v / peak); });
    return tables_.emplace(band, std::move(table)).first->second;
}

StepperVoice::StepperVoice(StepperWaveTables& tables, int sampleRate)
    : tables_(tables), sampleRate_(sampleRate),
      levelStep_(static_cast<float>(1.0 / (rampSeconds * sampleRate))),
      crossfadeStep_(static_cast<float>(1.0 / (crossfadeSeconds * sampleRate))) {}

void StepperVoice::sound(double frequency) {
    if (!(frequency > 0) || frequency >= sampleRate_ / 2.0) {
        silence();
        return;
    }
    const std::vector<float>* table = &tables_.tableFor(frequency);
    if (table_ == nullptr || level_ == 0) {
        table_ = table;
        crossfade_ = 1;
    } else if (table != table_) {
        fading_ = crossfade_ < 0.5f ? fading_ : table_;
        table_ = table;
        crossfade_ = 0;
    }
    step_ = frequency / sampleRate_;
    sounding_ = true;
}

void StepperVoice::silence() {
    sounding_ = false;
}

float StepperVoice::lookUp(const std::vector<float>& table) const {
    const double position = phase_ * StepperWaveTables::tableSize;
    const auto index = static_cast<int>(position);
    const auto share = static_cast<float>(position - index);
    const float a = table[index % StepperWaveTables::tableSize];
    const float b = table[(index + 1) % StepperWaveTables::tableSize];
    return a + (b - a) * share;
}

float StepperVoice::next() {
    level_ = sounding_ ? std::min(1.0f, level_ + levelStep_) : std::max(0.0f, level_ - levelStep_);
    if (level_ == 0 || table_ == nullptr) {
        return 0;
    }
    float sample = lookUp(*table_);
    if (crossfade_ < 1) {
        sample = crossfade_ * sample + (1 - crossfade_) * lookUp(*fading_);
        crossfade_ = std::min(1.0f, crossfade_ + crossfadeStep_);
    }
    phase_ += step_;
    phase_ -= std::floor(phase_);
    return level_ * sample;
}

} // namespace chimex
