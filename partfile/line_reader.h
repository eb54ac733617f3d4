// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace chimex {

/// A UTF-8 byte-order mark, which some editors put before the first line.
inline constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

/// Reads text line by line from a stream through a fixed buffer. A line ends at CR LF, at a lone CR
/// or at a lone LF, or, where a CR does not end lines, at LF alone with any CR kept in the line; a
/// last line without an end counts too. A line longer than maxLength, far
/// longer than any line this program writes, is refused as soon as it is seen, so that memory and
/// time stay bounded whatever the input (an endless stream without line ends too).
class LineReader {
  public:
    static constexpr std::size_t maxLength = 4096;

    explicit LineReader(std::istream& in, bool crEndsLine = true);

    /// The next line without its end; false at the end of the input. Throws InputFailure when
    /// reading fails or the line is longer than maxLength. The view stays valid until the next
    /// call.
    bool next(std::string_view& line);
    /// Number of the line last returned, from 1.
    long long lineNumber() const { return lineNumber_; }
    /// True when the line last returned ended at the end of the input without a line end.
    bool lacksLineEnd() const { return lacksEnd_; }

  private:
    bool fill();

    std::istream& in_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    bool crEndsLine_ = true;
    bool pendingLf_ = false;
    bool lacksEnd_ = false;
    long long lineNumber_ = 0;
    std::string line_;
};

} // namespace chimex
