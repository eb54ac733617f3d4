// SPDX-License-Identifier: MIT
#include "run_guarded.h"

#include <exception>

namespace chimex {

bool runGuarded(ProgramLifetime& lifetime, const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (const std::exception& failure) {
        lifetime.reportUnhandledFailure(failure.what());
    } catch (...) {
        lifetime.reportUnhandledFailure("An unknown failure ended the program");
    }
    return false;
}

} // namespace chimex
