// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

namespace chimex {

/// How the program ends.
class ProgramLifetime {
  public:
    virtual ~ProgramLifetime() = default;
    /// A failure no routine handles: tells the user what failed, then the program ends.
    virtual void reportUnhandledFailure(std::string_view message) = 0;
    /// Ends the program at once, with no further window events.
    virtual void endProgram() = 0;
};

} // namespace chimex
