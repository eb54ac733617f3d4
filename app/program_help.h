// SPDX-License-Identifier: MIT
#pragma once

#include <ostream>

namespace chimex {

/// Answers --help (or -h) among the arguments: the help text on `out`, the files this copy uses
/// on `err` (so that a manual page made from `out` holds the rule and not one machine's paths).
/// Returns false, printing nothing, when the program is to start.
bool answerHelp(int argc, char** argv, std::ostream& out, std::ostream& err);

} // namespace chimex
