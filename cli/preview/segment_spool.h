// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/scratch_file.h"

#include <istream>
#include <memory>
#include <ostream>
#include <string_view>
#include <vector>

namespace chimex {

/// Path data sorted into numbered piles on disk, so that each pile can become one <path> however
/// the segments arrive: memory stays flat while every segment is kept.
class SegmentSpool {
  public:
    /// Piles 0 to piles - 1, each a scratch file made when its first segment comes.
    explicit SegmentSpool(int piles);

    /// Adds one segment's path data ("M1 2H3") to `pile`.
    void add(int pile, std::string_view segment);
    long long count(int pile) const { return piles_[static_cast<std::size_t>(pile)].count; }
    /// Writes the pile's path data to `out`, a few segments a line, with `split` between every
    /// segmentsPerSplit segments, to start a new element: libxml2 (without its "huge" option)
    /// gives up on files of more than about 10 MB made of long attributes, and short elements keep
    /// it reading. Throws Failure when the pile cannot be written or read back.
    void copy(int pile, std::ostream& out, std::string_view split);

    static constexpr long long segmentsPerLine = 8;
    static constexpr long long segmentsPerSplit = 2000;
    static_assert(segmentsPerSplit % segmentsPerLine == 0);

  private:
    struct Pile {
        std::unique_ptr<ScratchFile> file;
        std::unique_ptr<std::iostream> stream;
        long long count = 0;
    };

    std::vector<Pile> piles_;
};

} // namespace chimex
