// SPDX-License-Identifier: MIT
#pragma once

#include "core/note_planner.h"
#include "core/program_state.h"
#include "platform/random_numbers.h"

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace chimex {

inline constexpr int keyCount = 37;

/// <notes folder>/<index>.wav
std::filesystem::path soundPath(const std::filesystem::path& notesFolder, int keyIndex);
/// soundPath() of every key, in key order.
std::vector<std::filesystem::path> soundPaths(const std::filesystem::path& notesFolder);

/// 2^(index/12) x baseSpeed formed in double precision, rounded through the three-decimal form.
float keySpeed(float baseSpeed, int keyIndex);

/// Seconds from the clock reading `from` to `to` (seconds since midnight); a day is added when the
/// clock passed midnight in between, so the result is never negative. Throws Failure when a
/// reading is not a finite number.
double elapsed(double from, double to);
/// `seconds` rounded through the three-decimal form; throws Failure naming `what` when it is
/// beyond the single-precision range.
float threeDecimalTime(double seconds, std::string_view what);

/// A key pressed at the clock reading `time`: NoteStart takes it. Returns the gap since the last
/// release (NoteEnd), for startNote().
double pressedAt(ProgramState& state, double time);
/// A key released at the clock reading `time`: NoteEnd takes it. Returns how long the key was
/// held since NoteStart, for endNote().
double releasedAt(ProgramState& state, double time);

/// The speeds a note jogs at: `xy` on X and Y, `z` on Z, and `y` on Y where its motor differs
/// from X's (apart only for feeds tuned to motors).
struct NoteSpeeds {
    float xy = 0;
    float z = 0;
    std::optional<float> y;
};
/// keySpeed() of key `keyIndex` on every axis; throws Failure for an index outside the keyboard.
NoteSpeeds keySpeeds(const ProgramState& state, int keyIndex);

/// The silence before a note, `gap` seconds, rounded through the three-decimal form as a pause
/// line carries it. Throws Failure on an arithmetic fault.
float pauseLength(double gap);
/// A note starts `gap` seconds after the last one ended: in pause mode after the first note,
/// PauseLength takes pauseLength(gap) and the pause line is appended. Throws Failure on an
/// arithmetic fault.
void startNote(ProgramState& state, double gap);

/// The note ends after being held `held` seconds: NoteSpeed and NoteDuration are set, the pause
/// mode advances, and the note planner places the note or answers NoRoom. Throws Failure on an
/// arithmetic fault.
NoteOutcome endNote(ProgramState& state, RandomNumbers& random, double held, NoteSpeeds speeds);

} // namespace chimex
