// SPDX-License-Identifier: MIT
#include "random_source.h"

namespace chimex {

float RandomSource::next() {
    // splitmix64: a full-period 64-bit generator with good statistical quality.
    state_ += 0x9E3779B97F4A7C15ULL;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    // The top 24 bits scaled by 2^-24 are exact in a float and at most 1 - 2^-24, never 1.
    return static_cast<float>(z >> 40) * 0x1p-24f;
}

} // namespace chimex
