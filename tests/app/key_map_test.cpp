// SPDX-License-Identifier: MIT
#include "app/key_map.h"

#include <gtest/gtest.h>

namespace chimex {
namespace {

// Positions are Linux input codes: what a German or French keyboard types there does not matter.
TEST(KeyMap, PositionsPlayTheSameKeysOnEveryLayout) {
    struct Row {
        int position;
        int octave;
        std::optional<int> key;
    };
    const Row rows[] = {
        {44, 0, 0},  // Z (Y on a German, W on a French keyboard)
        {50, 0, 11}, // M (, on a French keyboard)
        {16, 0, 12}, // Q (A on a French keyboard)
        {3, 0, 13},  // 2
        {25, 0, 28}, // P
        {44, 2, 24}, {16, 2, 36}, {3, 2, std::nullopt}, {30, 0, std::nullopt}, // A plays nothing
    };
    for (const Row& row : rows) {
        KeyMap map;
        for (int i = 0; i < row.octave; ++i) {
            map.shiftOctave(KeyMap::octaveUp);
        }
        EXPECT_EQ(map.pianoKey(row.position), row.key) << row.position << " " << row.octave;
    }
    EXPECT_EQ(KeyMap::positionOf('z'), 44);
    EXPECT_EQ(KeyMap::positionOf('A'), 0);
}

} // namespace
} // namespace chimex
