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
class GcodeReader {
  public:
    GcodeReader(std::istream& in, PartFileReader::IssueHandler onIssue);

    /// The next event, nothing at the end of the file. Throws Failure when reading fails.
    std::optional<PartEvent> next();

    const std::array<HeaderEntry, headerItemCount>& header() const { return header_; }
    long long linesRead() const { return lines_.lineNumber(); }

  private:
    struct Words;

    void readLine(std::string_view line);
    bool stripComments(std::string_view line, std::string& code);
    void readComment(std::string_view text);
    bool readWords(std::string_view code, Words& words);
    bool readWord(char letter, double value, Words& words);
    void addMoves(const Words& words);
    void issue(std::string message);

    LineReader lines_;
    PartFileReader::IssueHandler onIssue_;
    std::array<HeaderEntry, headerItemCount> header_;
    std::array<double, 3> position_{0, 0, 0};
    std::optional<double> feed_; ///< units a minute, once an F word sets it
    int motion_ = -1;            ///< the last G0 or G1; -1 before any
    bool dwellMilliseconds_ = false;
    std::deque<PartEvent> pending_;
};

} // namespace chimex
