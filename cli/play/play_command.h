// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/command.h"

namespace chimex {

/// chimex-cli play: a G-code file checked, then played on the machine at --machine LINK.
Command playCommand();

} // namespace chimex
