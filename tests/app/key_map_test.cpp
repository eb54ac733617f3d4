// SPDX-License-Identifier: MIT
#include "app/key_map.h"

#include <gtest/gtest.h>

namespace chimex {

// Positions are Linux input codes: what a German or French keyboard types there does not matter.
TEST(KeyMap, PositionsPlayTheSameKeysOnEveryLayout) {
    KeyMap map;
    EXPECT_EQ(map.pianoKey(44), 0);            // Z, Y on a German and W on a French keyboard
    EXPECT_EQ(map.pianoKey(16), 12);           // Q, A on a French keyboard
    EXPECT_EQ(map.pianoKey(25), 28);           // P
    EXPECT_EQ(map.pianoKey(30), std::nullopt); // A plays nothing
    map.shiftOctave(KeyMap::octaveUp);
    map.shiftOctave(KeyMap::octaveUp);
    EXPECT_EQ(map.pianoKey(44), 24);
    EXPECT_EQ(map.pianoKey(3), std::nullopt); // 2 would be above the top C
}

} // namespace chimex
