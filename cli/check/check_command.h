// SPDX-License-Identifier: MIT
#pragma once

#include "cli/check/part_check.h"
#include "cli/common/command.h"

#include <istream>
#include <ostream>
#include <string>

namespace chimex {

/// chimex-cli check: a part file or G-code checked against the machine limits.
Command checkCommand();

/// Checks `file` (named `name` in the report) as `check` does with `options`, --machine's values
/// applied: the report goes to `out`, the notes to `err`. `file` must be seekable.
CheckReport checkInput(const Options& options, std::istream& file, const std::string& name,
                       std::ostream& out, std::ostream& err);

} // namespace chimex
