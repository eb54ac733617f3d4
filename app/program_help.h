// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <ostream>

namespace chimex {

/// Answers --help (or -h) among the arguments: the help text on `out`, the files this copy uses
/// on `err` (so that a manual page made from `out` holds the rule and not one machine's paths).
/// Returns nothing, printing nothing, when the program is to start; otherwise the exit status:
/// 0, or 1 with a message on `err` when the help could not be written (a full disk).
std::optional<int> answerHelp(int argc, char** argv, std::ostream& out, std::ostream& err);

/// The exit status after printing to `out`: 0, or 1 with a message naming `what` on `err` when
/// it could not be written.
int printedStatus(std::ostream& out, std::ostream& err, const char* what);

} // namespace chimex
