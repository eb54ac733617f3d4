// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/command.h"

namespace chimex {

/// chimex-cli check: a part file or G-code checked against the machine limits.
Command checkCommand();

} // namespace chimex
