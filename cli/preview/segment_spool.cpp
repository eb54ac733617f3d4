// SPDX-License-Identifier: MIT
#include "segment_spool.h"

#include "platform/failure.h"

#include <string>
#include <string_view>

namespace chimex {
SegmentSpool::SegmentSpool(int piles) : piles_(static_cast<std::size_t>(piles)) {}

void SegmentSpool::add(int pile, std::string_view segment) {
    Pile& p = piles_[static_cast<std::size_t>(pile)];
    if (!p.file) {
        const auto path = folder_.path() / (std::to_string(pile) + ".path");
        p.file = std::make_unique<std::fstream>(path, std::ios::binary | std::ios::in |
                                                          std::ios::out | std::ios::trunc);
        if (!p.file->is_open()) {
            throw Failure("Cannot create the scratch file " + path.string());
        }
    }
    if (p.count > 0) {
        *p.file << (p.count % segmentsPerLine == 0 ? "\r\n" : " ");
    }
    *p.file << segment;
    ++p.count;
}

void SegmentSpool::copy(int pile, std::ostream& out, std::string_view split) {
    Pile& p = piles_[static_cast<std::size_t>(pile)];
    if (!p.file) {
        return;
    }
    p.file->flush();
    p.file->seekg(0);
    if (!*p.file) {
        throw Failure("Cannot read back the scratch file of pile " + std::to_string(pile) + " in " +
                      folder_.path().string() + " (disk full?)");
    }
    std::string line;
    for (long long lines = 1; std::getline(*p.file, line); ++lines) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (lines > 1) {
            const bool splitHere = (lines - 1) * segmentsPerLine % segmentsPerSplit == 0;
            out << (splitHere ? split : "\r\n");
        }
        out << line;
    }
    if (p.file->bad()) {
        throw Failure("Cannot read back the scratch file of pile " + std::to_string(pile) + " in " +
                      folder_.path().string());
    }
    p.file.reset();
}

} // namespace chimex
