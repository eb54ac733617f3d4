// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace chimex {

/// Reads text line by line from a stream through a fixed buffer. A line ends at CR LF, at a lone CR
/// or at a lone LF; a last line without an end counts too. Lines longer than maxLength are cut to
/// that length and flagged, so memory stays bounded whatever the input.
class LineReader {
  public:
    static constexpr std::size_t maxLength = 64 * 1024;

    explicit LineReader(std::istream& in);

    /// The next line without its end; false at the end of the input. Throws InputFailure when
    /// reading fails. The view stays valid until the next call.
    bool next(std::string_view& line);
    /// Number of the line last returned, from 1.
    long long lineNumber() const { return lineNumber_; }
    /// True when the line last returned was longer than maxLength and has been cut.
    bool wasCut() const { return cut_; }

  private:
    bool fill();

    std::istream& in_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    bool pendingLf_ = false;
    bool cut_ = false;
    long long lineNumber_ = 0;
    std::string line_;
};

} // namespace chimex
