// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

namespace chimex {

/// One note to play: which key, how long it is held and the silence before its press.
struct ScoreNote {
    int key = 0;     ///< key index 0 to 36
    double hold = 0; ///< seconds the key is held
    double gap = 0;  ///< seconds from the previous release to this press; unused for the first note
};

/// A note of a score of several voices: its key and when it sounds, in seconds from the score's
/// start.
struct ChordNote {
    int key = 0;
    double start = 0;
    double end = 0;
};

/// Holds and gaps must be shorter than this many seconds: a day, after which the desktop program's
/// clock starts again and a time cannot be told from a shorter one.
inline constexpr double longestScoreTime = 86400.0;

/// A source of notes in playing order, read one at a time so that scores of any length take
/// constant memory.
class NoteSource {
  public:
    virtual ~NoteSource() = default;
    /// The next note, nothing after the last. Throws Failure naming what is wrong with the input.
    virtual std::optional<ScoreNote> next() = 0;
};

} // namespace chimex
