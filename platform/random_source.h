// SPDX-License-Identifier: MIT
#pragma once

#include "platform/random_numbers.h"

#include <cstdint>

namespace chimex {

/// Uniform random numbers in [0, 1) from a fixed starting state. Never seeded, so every program
/// start draws the same sequence and the same tune played the same way gives the same moves.
class RandomSource : public RandomNumbers {
  public:
    /// r with 0 <= r < 1, exactly representable as a float (a multiple of 2^-24).
    float next();
    float randomNumber() override { return next(); }

  private:
    std::uint64_t state_ = 0x2545F4914F6CDD1DULL;
};

} // namespace chimex
