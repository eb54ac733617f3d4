// SPDX-License-Identifier: MIT
#pragma once

#include "cli/score/score_note.h"

#include <cstddef>
#include <vector>

namespace chimex {

/// A stretch of the score in which the same notes sound: indices into the score's notes, at most
/// as many as there are voices (none: a rest).
struct ChordSegment {
    double start = 0;    ///< seconds from the score's start
    double duration = 0; ///< seconds
    std::vector<std::size_t> notes;
};

/// A score cut into segments, and the notes left out where more sounded than there are voices.
struct ChordScore {
    std::vector<ChordSegment> segments;
    long long dropped = 0;       ///< notes left out for at least part of their time
    double firstDroppedTime = 0; ///< where the first of them is left out, seconds
    int firstDroppedKey = 0;
};

/// Cuts the notes (in order of start) at every start and end, from the first note's start to the
/// last note's end. Where more than `voices` notes sound, the highest and the lowest are kept
/// first, then the next highest. Notes that never sound (ending at their start) are skipped.
ChordScore chordSegments(const std::vector<ChordNote>& notes, int voices);

} // namespace chimex
