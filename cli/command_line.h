// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/command.h"

#include <string>
#include <vector>

namespace chimex {

/// Runs chimex-cli with its arguments (without the program name).
ExitStatus runCommandLine(const std::vector<std::string>& arguments, Console console);

/// The text --help prints.
std::string helpText();

} // namespace chimex
