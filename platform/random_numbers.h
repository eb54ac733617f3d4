// SPDX-License-Identifier: MIT
#pragma once

namespace chimex {

/// Where the note planner draws its move choices from.
class RandomNumbers {
  public:
    virtual ~RandomNumbers() = default;
    /// Uniform r with 0 <= r < 1; the sequence is the same at every program start.
    virtual float randomNumber() = 0;
};

} // namespace chimex
