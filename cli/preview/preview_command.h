// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/command.h"

namespace chimex {

/// chimex-cli preview: an SVG picture of a part file or G-code.
Command previewCommand();

} // namespace chimex
