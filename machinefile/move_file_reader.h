// SPDX-License-Identifier: MIT
#pragma once

#include "machinefile/gcode_format.h"
#include "machinefile/gcode_reader.h"
#include "partfile/part_file_reader.h"

#include <istream>
#include <memory>

namespace chimex {

/// True when the text in `in` is G-code rather than a part file: its first character other than
/// a UTF-8 byte-order mark, blanks and line ends opens a comment ('(' or ';'), is '%', or is G, M
/// or N before a digit. Leaves the stream where it was (it must be seekable).
bool looksLikeGcode(std::istream& in);

/// The dialect and unit a G-code file was written for, from its first comment (GRBL when it has
/// none, as the reader takes it) and its setup line near the start; nothing for a part file.
/// Leaves the stream where it was (it must be seekable).
std::optional<GcodeFormat> gcodeFormatOf(std::istream& in);

/// Reads a part file or the G-code chimex-cli writes, told apart by content, as one stream of
/// events (see PartFileReader and GcodeReader). A stream that cannot go back (a pipe) is read from
/// a copy of its start, then on.
class MoveFileReader {
  public:
    MoveFileReader(std::istream& in, PartFileReader::IssueHandler onIssue);

    std::optional<MoveEvent> next() { return part_ ? part_->next() : gcode_->next(); }
    const std::array<HeaderEntry, headerItemCount>& header() const {
        return part_ ? part_->header() : gcode_->header();
    }
    long long linesRead() const { return part_ ? part_->linesRead() : gcode_->linesRead(); }
    std::optional<std::string> missingEnd() const {
        return part_ ? part_->missingEnd() : gcode_->missingEnd();
    }
    bool isGcode() const { return gcode_ != nullptr; }
    /// The G-code's format as read so far (see GcodeReader::format); nothing for a part file.
    std::optional<GcodeFormat> writtenFor() const {
        return gcode_ ? std::optional(gcode_->format()) : std::nullopt;
    }

  private:
    std::unique_ptr<std::streambuf> replay_;
    std::unique_ptr<std::istream> replayed_;
    std::unique_ptr<PartFileReader> part_;
    std::unique_ptr<GcodeReader> gcode_;
};

} // namespace chimex
