// SPDX-License-Identifier: MIT
#pragma once

#include "cli/score/score_note.h"
#include "partfile/line_reader.h"

#include <istream>

namespace chimex {

/// Reads a text score: one note a line, "KEY HOLD [GAP]" separated by blanks or tabs, KEY the key
/// index 0 to 36, HOLD and GAP seconds (GAP 0 when left out). Blank lines and everything from a
/// "#" to the end of its line are ignored. A malformed line throws InputFailure naming its number.
class TextScoreReader : public NoteSource {
  public:
    explicit TextScoreReader(std::istream& in);
    std::optional<ScoreNote> next() override;

  private:
    LineReader lines_;
};

} // namespace chimex
