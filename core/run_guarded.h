// SPDX-License-Identifier: MIT
#pragma once

#include "platform/program_lifetime.h"

#include <functional>

namespace chimex {

/// Runs one event handler. A failure it throws (Failure or any std::exception) is handled nowhere
/// else: it goes to lifetime.reportUnhandledFailure() with its message, which finishes the tune
/// file, tells the user and ends the program. Returns false when the handler failed.
bool runGuarded(ProgramLifetime& lifetime, const std::function<void()>& handler);

} // namespace chimex
