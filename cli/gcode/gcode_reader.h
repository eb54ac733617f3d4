// SPDX-License-Identifier: MIT
#pragma once

#include "partfile/line_reader.h"
#include "partfile/part_file_reader.h"

#include <array>
#include <deque>
#include <optional>
#include <string_view>

namespace chimex {

/// Reads the G-code chimex-cli writes as the same events a part file gives: positions replayed
/// from 0, 0, 0, feeds turned into jog speeds a second, dwells into pauses, and the header
/// comments into the header values. Lines outside that subset go to the issue handler and are
/// otherwise skipped. Memory does not grow with the file.
///
/// The subset: G0 and G1 with X, Y, Z and F (a line of axis words alone continues the last G0 or
/// G1), G4 with P (milliseconds in a file written for Marlin, seconds otherwise), G20, G21, G90,
/// G94, M0, M1, M2, M30, comments in parentheses or after ';', a '%' line. Letters in either case.
class GcodeReader : public MoveEventReader {
  public:
    GcodeReader(std::istream& in, IssueHandler onIssue);

  private:
    struct Words;

    void readLine(std::string_view line) override;
    bool stripComments(std::string_view line, std::string& code);
    void readComment(std::string_view text);
    bool readWords(std::string_view code, Words& words);
    bool readWord(char letter, double value, Words& words);
    void addMoves(const Words& words);

    std::optional<double> feed_; ///< units a minute, once an F word sets it
    int motion_ = -1;            ///< the last G0 or G1; -1 before any
    bool dwellMilliseconds_ = false;
};

} // namespace chimex
