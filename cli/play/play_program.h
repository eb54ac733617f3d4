// SPDX-License-Identifier: MIT
#pragma once

#include "cli/check/part_check.h"
#include "cli/common/command_options.h"
#include "machinefile/gcode_format.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace chimex {

/// The longest program play reads (a million notes take about 30 MB).
inline constexpr std::size_t longestProgram = std::size_t(256) << 20;

/// The program file `name` whole ("-": standard input), at most longestProgram bytes. Throws
/// InputFailure naming it when it cannot be read or is longer.
std::string readProgram(const std::string& name);

/// The program's lines, without their line ends.
std::vector<std::string> programLines(const std::string& program);

/// Checks the program as `check --machine` does with `options` (the machine's settings applied)
/// and returns the report; nothing, with the check's report and the reason written to `err`,
/// when the program fails check, is a part file, or is G-code for another controller than
/// `controller`. The check's notes go to `err` as they come.
std::optional<CheckReport> checkBeforePlay(const Options& options, const std::string& program,
                                           const std::string& name, GcodeDialect controller,
                                           std::ostream& err);

} // namespace chimex
