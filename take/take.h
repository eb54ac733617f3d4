// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <vector>

namespace chimex {

/// One note of a take as note capture timed it (seconds, rounded to three decimals).
struct TakeNote {
    int key = 0;    ///< key index 0 to 36
    float gap = 0;  ///< silence from the previous release to this press; 0 for the first note
    float hold = 0; ///< how long the key was held
};

/// The notes as played, in order: each release closes the note its last press began.
class Take {
  public:
    /// A press; `gap` is the silence since the previous release (ignored for the first note).
    void press(float gap);
    /// A release of key `keyIndex` held `hold` seconds. A second release without a new press
    /// (two mouse buttons on one key) follows at once.
    void release(int keyIndex, float hold);

    const std::vector<TakeNote>& notes() const { return notes_; }

  private:
    std::vector<TakeNote> notes_;
    float gap_ = 0;
};

/// The take's file beside the tune file: the same name with ".mid" (appended when the tune file
/// itself ends in ".mid", so the take never replaces it).
std::filesystem::path takePath(const std::filesystem::path& tuneFile);

/// Where the take of `tuneFile` is written: takePath() when nothing stands there or it holds an
/// earlier take of the program (see isOwnTake) that is neither a link nor read-only; otherwise
/// the first of "NAME (2).mid", "NAME (3).mid", ... for which the same holds, so a file the
/// program did not write is never replaced nor written through. Throws Failure when no such name
/// is left.
std::filesystem::path takeDestination(const std::filesystem::path& tuneFile);

} // namespace chimex
