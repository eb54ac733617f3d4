// SPDX-License-Identifier: MIT
#pragma once

#include "core/program_state.h"
#include "platform/platform.h"

namespace chimex {

/// The no-room message, caption "Not enough room", style Critical.
inline constexpr const char* notEnoughRoomMessage =
    "Sorry, there's not enough room on your Gantrix to play this note....that's sure a bummer! "
    "I'll have to shut down and maybe things will work out better the next time";

/// Turns the note just released (NoteSpeed, NoteDuration) into one jog move of one axis drawn at
/// random among those that stay inside the travel limits, and appends its move block to the tune
/// file. After six refused draws the choices are tried in table order; when none fits it shows the
/// no-room message and calls platform.endPlaying().
/// Throws Failure naming an arithmetic fault (a result that is infinite or not a number).
void planNote(ProgramState& state, Platform& platform);
/// As above with Z moves at `zSpeed` instead of NoteSpeed, for a Z motor tuned apart from X and
/// Y: the Z gate, the distance, the speed line and TopZSpeed take it.
void planNote(ProgramState& state, Platform& platform, float zSpeed);

} // namespace chimex
