// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/command.h"

namespace chimex {

/// chimex-cli listen: a WAV file of the motors' hum.
Command listenCommand();

} // namespace chimex
