// SPDX-License-Identifier: MIT
#pragma once

#include "platform/platform.h"

#include <functional>

namespace chimex {

/// Runs one event handler. A failure it throws (Failure or any std::exception) is handled nowhere
/// else: it goes to platform.reportUnhandledFailure() with its message, which finishes the tune
/// file, tells the user and ends the program. Returns false when the handler failed.
bool runGuarded(Platform& platform, const std::function<void()>& handler);

} // namespace chimex
