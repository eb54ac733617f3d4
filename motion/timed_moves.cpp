// SPDX-License-Identifier: MIT
#include "timed_moves.h"

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
        const TimedSegment& t = timed[i];
        moves.push_back({t.target[static_cast<std::size_t>(notes[i].axis)], t.dwellBefore,
                         t.reachesFeed, t.silence, t.noRoom, t.dwellAfter, t.startsOff});
    }
    return moves;
}

} // namespace chimex
