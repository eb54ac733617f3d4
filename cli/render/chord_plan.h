// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/machine_limits.h"
#include "cli/render/chord_segments.h"
#include "cli/render/tuned_speeds.h"

#include <array>
#include <vector>

namespace chimex {

/// One segment as the machine plays it: each axis's position at its end and its signed speed
/// (length units a second, 0 for an axis standing still); a rest moves nothing.
struct ChordMove {
    std::array<double, 3> target{};
    std::array<double, 3> velocity{};
    double start = 0; ///< seconds from the first segment's start
    double duration = 0;
    bool rest = false;
    long long notesPlaced = 0; ///< the notes placed up to and with this segment
};

struct ChordPlan {
    std::vector<ChordMove> moves;
    long long notesPlaced = 0;
    long long notesLowered = 0; ///< played an octave or more below their pitch to fit their axis
    bool noRoom = false;        ///< a segment found no room, and playing ended before it
};

/// Positions are written with this many decimals, so that short segments at low speeds keep
/// their pitch; the plan rounds to them, so what is written is what was tested against the travel.
inline constexpr int chordDecimals = 6;

/// Gives each segment's notes an axis and a direction: a note keeps its axis, and its direction
/// while that has room, for as long as it sounds; a new note takes a free X or Y axis, and Z only
/// when X and Y are taken, the note that fits Z's fastest speed first (else one moved down by
/// octaves until it does). A new note goes towards the far end of its axis. Every position stays
/// strictly inside the travel, starting from 0, 0, 0. `speeds` are each key's X and Y and Z speeds.
/// Throws InputFailure for a note whose key or times are out of range.
ChordPlan planChords(const std::vector<ChordNote>& notes, const ChordScore& score,
                     const TunedSpeeds& speeds, const MachineLimits& limits);

} // namespace chimex
