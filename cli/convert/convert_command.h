// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/command.h"

namespace chimex {

/// chimex-cli convert: a part file written as G-code.
Command convertCommand();

} // namespace chimex
