// SPDX-License-Identifier: MIT
#pragma once

#include "partfile/move_event_reader.h"

#include <array>
#include <istream>
#include <optional>
#include <string_view>

namespace chimex {

/// Reads a part file of this program's format as a stream of events, replaying positions from
/// 0, 0, 0 and jog speeds from their JS lines. Lines that are not well-formed are handed to the
/// issue handler and otherwise skipped. Memory does not grow with the file.
///
/// Well-formed lines: blank; a comment (starting with '); "JS" with one or two arguments; "J3"
/// with one to three; "PAUSE" with a number of seconds; "INPUT ..."; "IF ... THEN ..."; a variable
/// assignment "&name = ...". Arguments are separated by commas; an empty one leaves its speed or
/// axis unchanged; a JS argument may be a variable (the speed then is the machine's own).
class PartFileReader : public MoveEventReader {
  public:
    PartFileReader(std::istream& in, IssueHandler onIssue);

    /// A finished part file ends with the footer's two lines that restore the jog speeds.
    std::optional<std::string> missingEnd() const override;

  private:
    void readLine(std::string_view line) override;
    void readComment(std::string_view line);
    void readJogSpeeds(std::string_view arguments);
    void readJog(std::string_view arguments);
    void readPause(std::string_view arguments);

    std::optional<double> xySpeed_;
    std::optional<double> zSpeed_;
    std::size_t restoreLinesSeen_ = 0; ///< of restoreLines, in a row, as the last lines so far
};

/// Reads a number as the part file writes it: optional sign, digits with at most one ".", optional
/// exponent. Nothing for any other text or a value beyond single precision.
std::optional<double> readPartNumber(std::string_view text);

} // namespace chimex
