// SPDX-License-Identifier: MIT
#include "finish_journal.h"

#include "cli/common/rewind_move_file.h"
#include "files/failure.h"
#include "machinefile/move_file_reader.h"
#include "partfile/finaliser.h"
#include "partfile/line_reader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <streambuf>

namespace chimex {
namespace {

/// The first `limit` bytes of another, seekable stream, read through a small buffer.
class LeadingBytes : public std::streambuf {
  public:
    LeadingBytes(std::istream& source, std::streamoff limit) : source_(source), limit_(limit) {}

  protected:
    int_type underflow() override {
        const std::streamoff left = limit_ - read_;
        if (left <= 0) {
            return traits_type::eof();
        }
        source_.read(buffer_.data(), std::min<std::streamoff>(left, buffer_.size()));
        const std::streamsize got = source_.gcount();
        if (got <= 0) {
            return traits_type::eof();
        }
        read_ += got;
        setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
        return traits_type::to_int_type(buffer_[0]);
    }

    pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                     std::ios_base::openmode mode) override {
        const off_type from = direction == std::ios_base::beg   ? 0
                              : direction == std::ios_base::end ? limit_
                                                                : read_ - (egptr() - gptr());
        return seekpos(pos_type(from + offset), mode);
    }

    pos_type seekpos(pos_type position, std::ios_base::openmode) override {
        const auto at = static_cast<std::streamoff>(position);
        source_.clear();
        if (at < 0 || at > limit_ || !source_.seekg(at)) {
            return pos_type(off_type(-1));
        }
        read_ = at;
        setg(nullptr, nullptr, nullptr);
        return position;
    }

  private:
    std::istream& source_;
    std::streamoff limit_;
    std::streamoff read_ = 0;
    std::array<char, 64 * 1024> buffer_{};
};

void refuseFinished(std::istream& journal, const std::string& name) {
    if (looksLikeGcode(journal)) {
        throw InputFailure(name, 0, "G-code, not a journal of the desktop program");
    }
    LineReader lines(journal); // a first line of any length is refused, not held
    std::string_view first;
    if (lines.next(first) && first == finishedFirstLine) {
        throw InputFailure(name, 0, "a finished part file already, not a journal");
    }
    rewindMoveFile(journal, name);
}

std::streamoff sizeOf(std::istream& journal, const std::string& name) {
    journal.seekg(0, std::ios::end);
    const std::streamoff size = journal.tellg();
    if (size < 0) {
        throw InputFailure(name, 0, "cannot be read a second time");
    }
    return size;
}

/// The length of the journal of `size` bytes without the NUL bytes at its end, read backwards a
/// block at a time.
std::streamoff withoutZeroFill(std::istream& journal, const std::string& name,
                               std::streamoff size) {
    std::array<char, 64 * 1024> block{};
    std::streamoff end = size;
    while (end > 0) {
        const auto length = static_cast<std::size_t>(std::min<std::streamoff>(end, block.size()));
        journal.seekg(end - static_cast<std::streamoff>(length));
        if (!journal.read(block.data(), static_cast<std::streamsize>(length))) {
            throw InputFailure(name, 0, "cannot be read a second time");
        }
        std::size_t zeros = 0;
        while (zeros < length && block[length - 1 - zeros] == '\0') {
            ++zeros;
        }
        end -= static_cast<std::streamoff>(zeros);
        if (zeros < length) {
            break;
        }
    }
    rewindMoveFile(journal, name);
    return end;
}

/// The length of the journal without a last line that has no line end, and that line.
std::streamoff wholeLines(std::istream& journal, const std::string& name, std::string& cut) {
    const std::streamoff size = sizeOf(journal, name);
    std::streamoff keep = size;
    for (char c = 0; keep > 0; --keep) {
        journal.seekg(keep - 1);
        if (!journal.get(c) || c == '\n' || c == '\r' || size - keep >= 80) {
            break;
        }
    }
    if (keep < size) {
        // Longer than any journal line: the last line is not cut short, it is not a journal line.
        keep = size - keep >= 80 ? size : keep;
        journal.seekg(keep);
        cut.resize(static_cast<std::size_t>(size - keep));
        journal.read(cut.data(), static_cast<std::streamsize>(cut.size()));
    }
    rewindMoveFile(journal, name);
    return keep;
}

/// The header values the program would have kept while playing: the lowest points stay 0, the
/// highest and the fastest speeds are what the jogs reach.
HeaderValues headerFromJogs(const CheckReport& report) {
    const auto value = [&](HeaderItem item) {
        return static_cast<float>(reachedValue(report, item));
    };
    HeaderValues values;
    values.HighX = value(HeaderItem::MaxX);
    values.HighY = value(HeaderItem::MaxY);
    values.HighZ = value(HeaderItem::MaxZ);
    values.TopXYSpeed = value(HeaderItem::FastestXY);
    values.TopZSpeed = value(HeaderItem::FastestZ);
    return values;
}

std::string printable(std::string text) {
    std::replace_if(
        text.begin(), text.end(),
        [](char c) { return !std::isprint(static_cast<unsigned char>(c)); }, '?');
    return text;
}

} // namespace

LeftOut finishJournal(std::istream& journal, const std::string& name, const MachineLimits& limits,
                      std::ostream& out) {
    LeftOut leftOut;
    const std::streamoff size = sizeOf(journal, name);
    const std::streamoff written = withoutZeroFill(journal, name, size);
    leftOut.zeroBytes = size - written;
    if (written == 0 && leftOut.zeroBytes > 0) {
        throw InputFailure(name, 0,
                           "nothing but NUL bytes, as a power cut leaves a file whose writes never "
                           "reached the disk: no note of the journal is left to finish");
    }
    LeadingBytes text(journal, written);
    std::istream journalText(&text);
    refuseFinished(journalText, name);
    std::string cut;
    LeadingBytes kept(journalText, wholeLines(journalText, name, cut));
    std::istream lines(&kept);
    // Line 0 stands for the header and the footer, which a journal does not have yet.
    const CheckReport report = checkMoveFile(lines, limits, [&name](const MoveIssue& issue) {
        if (issue.line > 0) {
            throw InputFailure(name, issue.line, issue.message);
        }
    });
    rewindMoveFile(lines, name);
    writePartFile(lines, out, headerFromJogs(report));
    if (!cut.empty()) {
        leftOut.line = DroppedLine{report.lines + 1, printable(cut)};
    }
    return leftOut;
}

} // namespace chimex
