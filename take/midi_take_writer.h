// SPDX-License-Identifier: MIT
#pragma once

#include "take/take.h"

#include <filesystem>
#include <ostream>
#include <vector>

namespace chimex {

/// Ticks a quarter note at the take's tempo of 120 a minute: a tick is 1/3 ms, so every time
/// in whole milliseconds is exact and a held note of 0 ms can still end after it begins.
inline constexpr int takeTicksPerQuarter = 1500;

/// Writes the take as a Standard MIDI File of format 0: key i is MIDI note 48 + i on channel 1,
/// each note begins its gap after the previous one ended. A note held 0 ms lasts one tick.
void writeMidiTake(std::ostream& out, const std::vector<TakeNote>& notes);

/// Writes the take to `path` whole or not at all. Throws Failure naming what failed.
void saveMidiTake(const std::filesystem::path& path, const std::vector<TakeNote>& notes);

} // namespace chimex
