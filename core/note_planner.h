// SPDX-License-Identifier: MIT
#pragma once

#include "core/program_state.h"
#include "platform/random_numbers.h"

namespace chimex {

/// The no-room message, caption "Not enough room", style Critical. Shown by whoever plays the
/// notes; the planner only answers NoRoom.
inline constexpr const char* notEnoughRoomMessage =
    "Sorry, there's not enough room on your Gantrix to play this note....that's sure a bummer! "
    "I'll have to shut down and maybe things will work out better the next time";
inline constexpr const char* notEnoughRoomCaption = "Not enough room";

/// What became of a note.
enum class NoteOutcome { Placed, NoRoom };

/// Turns the note just released (NoteSpeed, NoteDuration) into one jog move of one axis drawn at
/// random among those that stay inside the travel limits, and appends its move block to the tune
/// file. After six refused draws the choices are tried in table order; NoRoom when none fits, with
/// nothing written and only MoveChoice changed. Throws Failure naming an arithmetic fault (a
/// result that is infinite or not a number), the state and journal left as they were.
NoteOutcome planNote(ProgramState& state, RandomNumbers& random);
/// As above with Y moves at `ySpeed` and Z moves at `zSpeed` instead of NoteSpeed, for motors
/// tuned apart: the axis is drawn first, and the note then takes that axis's speed and the
/// distance it covers in its time (for Z also the Z gate, the speed line and TopZSpeed).
NoteOutcome planNote(ProgramState& state, RandomNumbers& random, float ySpeed, float zSpeed);

} // namespace chimex
