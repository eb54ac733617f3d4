// SPDX-License-Identifier: MIT
#include "segment_spool.h"

#include "files/failure.h"

#include <string>
#include <string_view>

namespace chimex {
SegmentSpool::SegmentSpool(int piles) : piles_(static_cast<std::size_t>(piles)) {}

void SegmentSpool::add(int pile, std::string_view segment) {
    Pile& p = piles_[static_cast<std::size_t>(pile)];
    if (!p.file) {
        p.file = std::make_unique<ScratchFile>();
        p.stream = std::make_unique<std::iostream>(p.file.get());
    }
    if (p.count > 0) {
        *p.stream << (p.count % segmentsPerLine == 0 ? "\r\n" : " ");
    }
    *p.stream << segment;
    ++p.count;
}

void SegmentSpool::copy(int pile, std::ostream& out, std::string_view split) {
    Pile& p = piles_[static_cast<std::size_t>(pile)];
    if (!p.file) {
        return;
    }
    p.file->rewind();
    std::string line;
    for (long long lines = 1; std::getline(*p.stream, line); ++lines) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (lines > 1) {
            const bool splitHere = (lines - 1) * segmentsPerLine % segmentsPerSplit == 0;
            out << (splitHere ? split : "\r\n");
        }
        out << line;
    }
    if (p.stream->bad()) {
        throw Failure("Cannot read back the scratch file of pile " + std::to_string(pile));
    }
    p.stream.reset();
    p.file.reset();
}

} // namespace chimex
