// SPDX-License-Identifier: MIT
#pragma once

#include "core/program_state.h"
#include "platform/platform.h"

#include <filesystem>
#include <vector>

namespace chimex {

inline constexpr int keyCount = 37;

/// <notes folder>/<index>.wav
std::filesystem::path soundPath(const std::filesystem::path& notesFolder, int keyIndex);
/// soundPath() of every key, in key order.
std::vector<std::filesystem::path> soundPaths(const std::filesystem::path& notesFolder);

/// 2^(index/12) x baseSpeed formed in double precision, rounded through the three-decimal form.
float keySpeed(float baseSpeed, int keyIndex);

/// A mouse press on key `keyIndex`: starts the clock and the key's sound; in pause mode after the
/// first note appends the pause line. Throws Failure on an arithmetic fault.
void keyPress(ProgramState& state, Platform& platform, int keyIndex);
/// As above with the key's sound file given, soundPath(notesFolder, keyIndex) built ahead by a
/// caller that presses keys at a high rate: building a path costs more than the rest of a press.
void keyPress(ProgramState& state, Platform& platform, int keyIndex,
              const std::filesystem::path& sound);
/// A press whose time is known: `time` is the press event's own time as a clock reading (seconds
/// since midnight), taken instead of reading the clock.
void keyPressAt(ProgramState& state, Platform& platform, int keyIndex, double time);

/// The silence before the note just pressed: NoteEnd to NoteStart across midnight, rounded
/// through the three-decimal form (the PauseLength a pause line carries). Throws Failure on an
/// arithmetic fault.
float pauseBeforeNote(const ProgramState& state);

/// A mouse release: stops the sound, fixes speed and duration, advances the pause mode and runs
/// the note planner. (Moving the focus to txtSpeed is the window's job.)
void keyRelease(ProgramState& state, Platform& platform, int keyIndex);
/// As above with the note's speeds given instead of the key's: `speed` for X and Y moves,
/// `zSpeed` for Z moves (feeds tuned to the motors, which need no rounding to three decimals).
void keyRelease(ProgramState& state, Platform& platform, int keyIndex, float speed, float zSpeed);
/// A release whose time is known: NoteEnd is `time` (a clock reading, as for keyPressAt) and the
/// duration runs from NoteStart to it, with no clock reading.
void keyReleaseAt(ProgramState& state, Platform& platform, int keyIndex, double time);

} // namespace chimex
