// SPDX-License-Identifier: MIT
#pragma once

#include "core/journal.h"
#include "core/move_sink.h"
#include "partfile/line_texts.h"

#include <cstdint>
#include <string>

namespace chimex {

/// The program's name and version, as both programs report them.
inline constexpr const char* programName = "Chimex Vedadazu";
inline constexpr const char* programVersion = "1.0.0.0";

/// The one record through which the whole program exchanges its data. The application owns one
/// instance for the run and hands it to every routine that works on it. Lengths are in the
/// machine's length unit, speeds in length units per second, times in seconds.
struct ProgramState {
    double NoteStart = 0;        ///< clock at the last key press, seconds since midnight
    float NoteDuration = 0;      ///< how long the last released key was held, three decimals
    float NoteSpeed = 0;         ///< jog speed of the last released key, three decimals
    std::int32_t MoveChoice = 0; ///< move choice 1 to 6 last drawn by the note planner
    float MaxX = 0;              ///< X travel limit
    float MaxY = 0;              ///< Y travel limit
    float MaxZ = 0;              ///< Z travel limit
    float MaxXYSpeed = 0;        ///< fastest X and Y jog speed
    float MaxZSpeed = 0;         ///< fastest Z jog speed
    float BaseSpeed = 0;         ///< jog speed of key 0, MaxXYSpeed / 8.2
    float CurX = 0;              ///< tool position after the last move written
    float CurY = 0;
    float CurZ = 0;
    float HighX = 0; ///< largest coordinate reached on each axis
    float HighY = 0;
    float HighZ = 0;
    float LowX = 0; ///< smallest coordinate on each axis; always 0
    float LowY = 0;
    float LowZ = 0;
    std::int32_t PauseMode =
        0;                 ///< 0 not set, -1 no pauses, 1 pauses wanted, 2 pauses and a note done
    float PauseLength = 0; ///< gap before the current key press, three decimals
    double NoteEnd = 0;    ///< clock at the last key release, seconds since midnight
    float TopXYSpeed = 0;  ///< fastest NoteSpeed of an X or Y move
    float TopZSpeed = 0;   ///< fastest NoteSpeed of a Z move
    std::string TuneFile;  ///< full path of the tune file
    std::int16_t StartStatus = 0; ///< 9 when a tune file was chosen, 1 when none was

    /// The tune file while playing: the move journal, open from start-up to the unload.
    Journal TuneStream;
    /// Where placed notes and pauses go instead of TuneStream's text, when set (a render to
    /// another format); not owned.
    MoveSink* Moves = nullptr;
};

/// The jog speed of key 0 for a fastest X and Y speed: the keys' speeds rise from it by semitones.
inline float baseSpeedFor(float MaxXYSpeed) {
    return static_cast<float>(static_cast<double>(MaxXYSpeed) / 8.2);
}

/// The extents, minimums and fastest speeds the part-file header shows.
inline HeaderValues headerValues(const ProgramState& s) {
    return {s.HighX, s.HighY, s.HighZ, s.LowX, s.LowY, s.LowZ, s.TopXYSpeed, s.TopZSpeed};
}

} // namespace chimex
