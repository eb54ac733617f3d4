// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <ostream>
#include <span>

namespace chimex {

inline constexpr int waveSampleRate = 44100;
/// Most samples one file holds: the RIFF chunk sizes are 32-bit (about 13.5 hours).
inline constexpr std::uint64_t waveMaxSamples = (0xFFFFFFFFull - 36) / 2;

/// Writes a RIFF/WAVE file (PCM, 16-bit, mono, waveSampleRate) as the samples come: the header
/// goes first with its sizes open, finish() fills them in.
class WaveWriter {
  public:
    explicit WaveWriter(std::ostream& out);

    /// Throws Failure when the file would hold more than waveMaxSamples.
    void write(std::span<const std::int16_t> samples);
    /// Fills in the header's sizes and leaves the stream at the end. The stream must be seekable;
    /// throws Failure when it is not or when writing failed.
    void finish();

    std::uint64_t samplesWritten() const { return samples_; }

  private:
    std::ostream& out_;
    std::streampos start_;
    std::uint64_t samples_ = 0;
};

} // namespace chimex
