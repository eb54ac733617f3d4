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

/// Turns a journal that a program ending without its unload chain left in the tune file (a crash,
/// a power cut) into the finished part file: the header with the extents and fastest speeds
/// recomputed from the jogs, the journal line for line, the footer. A last line without its line
/// end is left out and returned. Reads `journal` twice. Throws InputFailure, naming `name` and the
/// line, when the file is already finished or is G-code, or a line is not well-formed or a jog
/// leaves the travel or is faster than the limits allow; nothing of the part file is written then.
std::optional<DroppedLine> finishJournal(std::istream& journal, const std::string& name,
                                         const MachineLimits& limits, std::ostream& out);

} // namespace chimex
