// SPDX-License-Identifier: MIT
#pragma once

#include "take/take.h"

#include <filesystem>
#include <ostream>
#include <string_view>
#include <vector>

namespace chimex {

/// Ticks a quarter note at the take's tempo of 120 a minute: a tick is 1/3 ms, so every time
/// in whole milliseconds is exact and a held note of 0 ms can still end after it begins.
inline constexpr int takeTicksPerQuarter = 1500;

/// The start of the text event that opens every take's track, followed by the seal of the events
/// after it.
inline constexpr std::string_view takeMarkText = "Chimex Vedadazu take ";

/// Writes the take as a Standard MIDI File of format 0: key i is MIDI note 48 + i on channel 1,
/// each note begins its gap after the previous one ended. A note held 0 ms lasts one tick. The
/// track opens with the program's mark.
void writeMidiTake(std::ostream& out, const std::vector<TakeNote>& notes);

/// True only for a file as writeMidiTake wrote it: the mark in its place and its seal matching
/// every byte after it. A take changed in any way since counts as the user's own file.
bool isOwnTake(std::string_view file);

/// Writes the take to `path` whole or not at all. Throws Failure naming what failed.
void saveMidiTake(const std::filesystem::path& path, const std::vector<TakeNote>& notes);

} // namespace chimex
