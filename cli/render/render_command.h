// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/command.h"

namespace chimex {

/// chimex-cli render: scores played through the note planner into a part file or G-code.
Command renderCommand();

} // namespace chimex
