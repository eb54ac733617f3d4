// SPDX-License-Identifier: MIT
#pragma once

#include <map>
#include <vector>

namespace chimex {

/// One period of the stepper hum per semitone band, built when first asked for. A band's table
/// holds the harmonics that stay below 16 kHz at the band's lowest pitch, so any pitch in the
/// band stays clear of the Nyquist limit. At most about 140 bands of 8 KiB each.
class StepperWaveTables {
  public:
    static constexpr int tableSize = 2048;

    /// The table for a hum at `frequency` Hz: tableSize samples of one period, peak 1.
    const std::vector<float>& tableFor(double frequency);

  private:
    std::map<int, std::vector<float>> tables_;
    std::vector<double> sine_;
};

/// A stepper motor's hum whose pitch changes without a break: the phase runs on from one pitch to
/// the next, the waveform of the new band fades in over 2 ms, and starting or stopping ramps the
/// level over 3 ms, so nothing clicks.
class StepperVoice {
  public:
    StepperVoice(StepperWaveTables& tables, int sampleRate);

    /// Hum at `frequency` Hz from the next sample on. Frequencies that cannot be sampled (at or
    /// above half the sample rate) and those that are not above 0 are silence.
    void sound(double frequency);
    void silence();
    /// The next sample, from -1 to 1.
    float next();
    /// Silent, and nothing left of the last sound.
    bool quiet() const { return level_ == 0 && !sounding_; }

  private:
    float lookUp(const std::vector<float>& table) const;

    StepperWaveTables& tables_;
    int sampleRate_;
    const std::vector<float>* table_ = nullptr;
    const std::vector<float>* fading_ = nullptr; ///< the previous band's table, fading out
    double phase_ = 0;                           ///< in periods, 0 to 1
    double step_ = 0;                            ///< periods per sample
    float level_ = 0;
    float crossfade_ = 1; ///< share of table_ against fading_
    float levelStep_;
    float crossfadeStep_;
    bool sounding_ = false;
};

} // namespace chimex
