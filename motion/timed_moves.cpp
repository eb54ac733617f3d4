// SPDX-License-Identifier: MIT
#include "timed_moves.h"

#include "timed_segments.h"

namespace chimex {

std::vector<TimedMove> timeMoves(const std::vector<TimingNote>& notes, const Controller& c,
                                 const std::array<double, 3>& travel) {
    std::vector<TimingSegment> segments;
    segments.reserve(notes.size());
    for (const TimingNote& note : notes) {
        TimingSegment segment;
        segment.velocity[static_cast<std::size_t>(note.axis)] = note.direction * note.feed;
        segment.start = note.start;
        segment.hold = note.hold;
        segments.push_back(segment);
    }
    const std::vector<TimedSegment> timed = timeSegments(segments, c, travel);
    std::vector<TimedMove> moves;
    moves.reserve(notes.size());
    for (std::size_t i = 0; i < notes.size(); ++i) {
        moves.push_back({timed[i].target[static_cast<std::size_t>(notes[i].axis)],
                         timed[i].dwellBefore, timed[i].reachesFeed});
    }
    return moves;
}

} // namespace chimex
