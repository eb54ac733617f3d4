// SPDX-License-Identifier: MIT
#include "line_reader.h"

#include "files/failure.h"

#include <algorithm>
#include <string>

namespace chimex {

LineReader::LineReader(std::istream& in, bool crEndsLine)
    : in_(in), buffer_(256 * 1024), crEndsLine_(crEndsLine) {}

bool LineReader::fill() {
    if (eof_) {
        return false;
    }
    in_.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    const auto got = static_cast<std::size_t>(in_.gcount());
    if (in_.bad()) {
        throw InputFailure("Cannot read the input after line " + std::to_string(lineNumber_));
    }
    if (got < buffer_.size()) {
        eof_ = true;
    }
    begin_ = 0;
    end_ = got;
    return got > 0;
}

bool LineReader::next(std::string_view& line) {
    line_.clear();
    lacksEnd_ = false;
    bool any = false;
    for (;;) {
        if (begin_ == end_ && !fill()) {
            if (!any) {
                return false;
            }
            lacksEnd_ = true;
            break;
        }
        if (pendingLf_) {
            pendingLf_ = false;
            if (buffer_[begin_] == '\n') {
                ++begin_;
                continue;
            }
        }
        any = true;
        const char* start = buffer_.data() + begin_;
        const char* stop = buffer_.data() + end_;
        const char* found = std::find_if(
            start, stop, [this](char c) { return (c == '\r' && crEndsLine_) || c == '\n'; });
        if (found != stop && line_.empty() &&
            static_cast<std::size_t>(found - start) <= maxLength) {
            // The whole line lies in the buffer: hand it out without copying.
            pendingLf_ = *found == '\r';
            begin_ += static_cast<std::size_t>(found - start) + 1;
            ++lineNumber_;
            line = std::string_view(start, static_cast<std::size_t>(found - start));
            return true;
        }
        const auto length = static_cast<std::size_t>(found - start);
        if (length > maxLength - line_.size()) {
            const bool crInside = !crEndsLine_ && (line_.find('\r') != std::string::npos ||
                                                   std::find(start, found, '\r') != found);
            throw InputFailure({}, lineNumber_ + 1,
                               "the line is longer than " + std::to_string(maxLength) +
                                   " characters" +
                                   (crInside ? " (it holds carriage returns (CR), which end no "
                                               "line without a line feed)"
                                             : "") +
                                   "; this is not a file chimex-cli reads");
        }
        line_.append(start, length);
        begin_ += length;
        if (found != stop) {
            pendingLf_ = *found == '\r';
            ++begin_;
            break;
        }
    }
    ++lineNumber_;
    line = line_;
    return true;
}

} // namespace chimex
