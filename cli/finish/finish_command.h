// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/command.h"

namespace chimex {

/// chimex-cli finish: the journal of a tune that was not finished turned into the part file.
Command finishCommand();

} // namespace chimex
