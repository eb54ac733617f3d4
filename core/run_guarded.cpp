// SPDX-License-Identifier: MIT
#include "run_guarded.h"

#include <exception>

namespace chimex {

bool runGuarded(Platform& platform, const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (const std::exception& failure) {
        platform.reportUnhandledFailure(failure.what());
    } catch (...) {
        platform.reportUnhandledFailure("An unknown failure ended the program");
    }
    return false;
}

} // namespace chimex
