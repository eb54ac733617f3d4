// SPDX-License-Identifier: MIT
#pragma once

#include "sound/key_pitch.h"
#include "sound/wave_writer.h"

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <vector>

namespace chimex {

inline constexpr int noteSampleRate = waveSampleRate;
/// Largest sample magnitude as a share of full scale; leaves about 10 dB for several sounds at
/// once.
inline constexpr double notePeakLevel = 0.3;

/// One loop of the key's tone: about `seconds` long and a whole number of periods, so that playing
/// it over and over has no click. The tone is a buzzy pulse-like wave with a resonance, like the
/// hum of a stepper motor. 16-bit mono samples at noteSampleRate.
std::vector<std::int16_t> synthesiseNote(int keyIndex, double seconds = 1.0);

/// The exact frequency of the loop synthesiseNote() makes (a whole number of periods fits it).
double loopFrequency(int keyIndex, double seconds = 1.0);

/// A RIFF/WAVE file: PCM, 16-bit, mono, noteSampleRate. `out` must be seekable.
void writeWave(std::ostream& out, const std::vector<std::int16_t>& samples);

/// Writes 0.wav to 36.wav into `folder`, creating it. Throws Failure when a file cannot be written.
void writeNoteFiles(const std::filesystem::path& folder);

} // namespace chimex
