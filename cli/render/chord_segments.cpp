// SPDX-License-Identifier: MIT
#include "chord_segments.h"

#include <algorithm>

namespace chimex {
namespace {

/// Every time a note starts or ends, in order, once each.
std::vector<double> cuts(const std::vector<ChordNote>& notes) {
    std::vector<double> times;
    for (const ChordNote& note : notes) {
        if (note.end > note.start) {
            times.push_back(note.start);
            times.push_back(note.end);
        }
    }
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    return times;
}

/// The sounding notes to keep, highest first, then lowest, then the next highest; the rest are
/// left in `dropped`.
std::vector<std::size_t> keep(std::vector<std::size_t> sounding,
                              const std::vector<ChordNote>& notes, int voices,
                              std::vector<std::size_t>& dropped) {
    std::stable_sort(sounding.begin(), sounding.end(),
                     [&](std::size_t a, std::size_t b) { return notes[a].key > notes[b].key; });
    if (sounding.size() > static_cast<std::size_t>(voices) && voices > 1) {
        std::rotate(sounding.begin() + 1, sounding.end() - 1, sounding.end()); // the lowest second
    }
    const auto kept = std::min(sounding.size(), static_cast<std::size_t>(voices));
    dropped.assign(sounding.begin() + static_cast<std::ptrdiff_t>(kept), sounding.end());
    sounding.resize(kept);
    std::sort(sounding.begin(), sounding.end());
    return sounding;
}

} // namespace

ChordScore chordSegments(const std::vector<ChordNote>& notes, int voices) {
    ChordScore score;
    const std::vector<double> times = cuts(notes);
    std::vector<std::size_t> sounding;
    std::vector<std::size_t> dropped;
    std::vector<bool> counted(notes.size());
    std::size_t next = 0;
    for (std::size_t i = 0; i + 1 < times.size(); ++i) {
        const double now = times[i];
        std::erase_if(sounding, [&](std::size_t n) { return notes[n].end <= now; });
        for (; next < notes.size() && notes[next].start <= now; ++next) {
            if (notes[next].end > now) {
                sounding.push_back(next);
            }
        }
        std::vector<std::size_t> kept = keep(sounding, notes, voices, dropped);
        for (std::size_t n : dropped) {
            if (!counted[n]) {
                counted[n] = true;
                if (score.dropped++ == 0) {
                    score.firstDroppedTime = now;
                    score.firstDroppedKey = notes[n].key;
                }
            }
        }
        if (!score.segments.empty() && score.segments.back().notes == kept) {
            score.segments.back().duration = times[i + 1] - score.segments.back().start;
        } else {
            score.segments.push_back({now, times[i + 1] - now, std::move(kept)});
        }
    }
    return score;
}

} // namespace chimex
