// SPDX-License-Identifier: MIT
#include "move_file_reader.h"

#include "files/failure.h"
#include "partfile/line_reader.h"

#include <cctype>
#include <sstream>
#include <string>

namespace chimex {
namespace {

constexpr std::size_t headSize = 4096;

/// The start of a stream that was read to look at it, then the rest of that stream.
class HeadAgainBuffer : public std::streambuf {
  public:
    HeadAgainBuffer(std::string head, std::streambuf* rest) : head_(std::move(head)), rest_(rest) {
        setg(head_.data(), head_.data(), head_.data() + head_.size());
    }

  protected:
    int_type underflow() override {
        if (gptr() < egptr()) {
            return traits_type::to_int_type(*gptr());
        }
        const std::streamsize got = rest_->sgetn(chunk_, sizeof chunk_);
        if (got <= 0) {
            return traits_type::eof();
        }
        setg(chunk_, chunk_, chunk_ + got);
        return traits_type::to_int_type(*gptr());
    }

  private:
    std::string head_;
    std::streambuf* rest_;
    char chunk_[headSize];
};

} // namespace

bool looksLikeGcode(std::istream& in) {
    const auto start = in.tellg();
    char head[headSize];
    in.read(head, sizeof head);
    const std::string_view text(head, static_cast<std::size_t>(in.gcount()));
    in.clear();
    in.seekg(start);
    // A byte-order mark before G-code is the G-code reader's to report.
    const auto first = text.find_first_not_of(
        " \t\r\n", text.starts_with(byteOrderMark) ? byteOrderMark.size() : 0);
    if (first == std::string_view::npos) {
        return false;
    }
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[first])));
    if (c == '(' || c == ';' || c == '%') {
        return true;
    }
    const bool digitNext =
        first + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[first + 1]));
    return (c == 'G' || c == 'M' || c == 'N') && digitNext;
}

std::optional<GcodeFormat> gcodeFormatOf(std::istream& in) {
    if (in.tellg() < 0 || !looksLikeGcode(in)) { // a pipe cannot be looked at twice
        return std::nullopt;
    }
    const auto start = in.tellg();
    // The reader's own first event comes after the first comment and the setup line.
    GcodeReader reader(in, [](const MoveIssue&) {});
    try {
        reader.next();
    } catch (const InputFailure&) {
        // The reading proper reports it.
    }
    in.clear();
    in.seekg(start);
    return reader.format();
}

MoveFileReader::MoveFileReader(std::istream& in, PartFileReader::IssueHandler onIssue) {
    std::istream* source = &in;
    bool gcode = false;
    if (in.tellg() < 0) {
        std::string head(headSize, '\0');
        in.read(head.data(), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<std::size_t>(in.gcount()));
        std::istringstream look(head);
        gcode = looksLikeGcode(look);
        replay_ = std::make_unique<HeadAgainBuffer>(std::move(head), in.rdbuf());
        replayed_ = std::make_unique<std::istream>(replay_.get());
        source = replayed_.get();
    } else {
        gcode = looksLikeGcode(in);
    }
    if (gcode) {
        gcode_ = std::make_unique<GcodeReader>(*source, std::move(onIssue));
    } else {
        part_ = std::make_unique<PartFileReader>(*source, std::move(onIssue));
    }
}

} // namespace chimex
