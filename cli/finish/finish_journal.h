// SPDX-License-Identifier: MIT
#pragma once

#include "cli/check/part_check.h"

#include <istream>
#include <optional>
#include <ostream>
#include <string>

namespace chimex {

/// A last line that a crash or power cut left without its line end, and so perhaps cut short.
struct DroppedLine {
    long long line = 0;
    std::string text; ///< as it stands, for messages
};

/// What finishing left out of the journal.
struct LeftOut {
    std::optional<DroppedLine> line; ///< a last line without its line end
    /// NUL bytes at the end: a power cut can leave the file longer than what reached the disk,
    /// and the rest reads as zeros.
    long long zeroBytes = 0;
};

/// Turns a journal that a program ending without its unload chain left in the tune file (a crash,
/// a power cut) into the finished part file: the header with the extents and fastest speeds
/// recomputed from the jogs, the journal line for line, the footer. NUL bytes at the end and a
/// last line without its line end are left out and returned. Reads `journal` twice, line by line
/// in flat memory. Throws InputFailure, naming `name` and the line, when the file holds nothing but
/// NUL bytes, is already finished or is G-code, or a line is not well-formed or a jog leaves the
/// travel or is faster than the limits allow; nothing of the part file is written then.
LeftOut finishJournal(std::istream& journal, const std::string& name, const MachineLimits& limits,
                      std::ostream& out);

} // namespace chimex
