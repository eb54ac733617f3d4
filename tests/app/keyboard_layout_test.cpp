// SPDX-License-Identifier: MIT
#include "app/keyboard_layout.h"

#include <gtest/gtest.h>

using namespace chimex;

struct KeyRow {
    int index;
    bool black;
    int left;
};

class KeyTable : public testing::TestWithParam<KeyRow> {};

TEST_P(KeyTable, SitsWhereThePianoPutsIt) {
    const KeyRow row = GetParam();
    const TwipRect rect = keyRect(row.index);
    EXPECT_EQ(isBlackKey(row.index), row.black);
    EXPECT_EQ(rect.left, row.left);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.width, row.black ? 495 : 615);
    EXPECT_EQ(rect.height, row.black ? 1455 : 2775);
}

INSTANTIATE_TEST_SUITE_P(Keyboard, KeyTable,
                         testing::Values(KeyRow{0, false, 0}, KeyRow{1, true, 360},
                                         KeyRow{4, false, 1200}, KeyRow{5, false, 1800},
                                         KeyRow{6, true, 2160}, KeyRow{10, true, 3360},
                                         KeyRow{11, false, 3600}, KeyRow{12, false, 4200},
                                         KeyRow{25, true, 8760}, KeyRow{34, true, 11760},
                                         KeyRow{35, false, 12000}, KeyRow{36, false, 12600}));

TEST(Keyboard, HasTwentyTwoWhiteKeys) {
    int whites = 0;
    for (int i = 0; i < keyCount; ++i) {
        whites += isBlackKey(i) ? 0 : 1;
    }
    EXPECT_EQ(whites, 22);
}

struct PressRow {
    const char* where;
    int x;
    int y;
    int key; // -1: no key
};

class PressTable : public testing::TestWithParam<PressRow> {};

TEST_P(PressTable, GoesToTheUpperKey) {
    const PressRow row = GetParam();
    const auto key = keyAt(row.x, row.y);
    EXPECT_EQ(key.value_or(-1), row.key) << row.where;
}

INSTANTIATE_TEST_SUITE_P(
    Keyboard, PressTable,
    testing::Values(PressRow{"black key over both its white neighbours", 600, 100, 1},
                    PressRow{"black key's left edge", 360, 0, 1},
                    PressRow{"just left of a black key", 359, 0, 0},
                    PressRow{"black key's last row", 400, 1454, 1},
                    PressRow{"white key below the black keys", 400, 1455, 0},
                    PressRow{"strip shared by C and D goes to D", 600, 2000, 2},
                    PressRow{"last twip of that strip", 614, 2000, 2},
                    PressRow{"E and F strip, no black key above", 1800, 100, 5},
                    PressRow{"just before the E and F strip", 1799, 100, 4},
                    PressRow{"bottom row of white keys", 100, 2774, 0},
                    PressRow{"below the keyboard", 100, 2775, -1},
                    PressRow{"right of the last key", 13215, 100, -1}));
