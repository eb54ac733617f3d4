// SPDX-License-Identifier: MIT
#pragma once

#include <stdexcept>
#include <string>

namespace chimex {

/// A failure the user must be told about: a file that cannot be opened or written, an arithmetic
/// fault. The message names what failed and where; only the application turns it into a message
/// box.
class Failure : public std::runtime_error {
  public:
    explicit Failure(const std::string& message) : std::runtime_error(message) {}
};

} // namespace chimex
