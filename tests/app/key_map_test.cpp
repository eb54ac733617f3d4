// SPDX-License-Identifier: MIT
#include "app/event_clock.h"
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

// Each event's reading: the stamp moved by the tie made at the source's first event, or the clock
// itself when the tie no longer fits.
TEST(EventClock, ReadingsDifferAsTheStampsDo) {
    EventClock clock;
    const struct {
        double stamp, clockNow, reading;
    } events[] = {
        {1000.000, 86399.020, 86399.020}, // tied here, handled 20 ms late
        {1000.300, 86399.308, 86399.320}, // handled sooner: still 0.3 s after the first
        {1000.300, 86399.340, 86399.320}, // the same stamp again: a key held 0 ms
        {1000.900, 86399.950, 86399.920},
        {1000.950, 0.100, 0.100}, // the clock passed midnight: tied afresh
        {1001.250, 0.400, 0.400},
        {20.000, 0.500, 0.500}, // the source restarted: tied afresh
        {45.000, 25.600, 25.500},
        {46.000, 25.000, 25.500}, // the clock stands behind: not before the last event
        {60.000, 60.000, 60.000}, // handled far too late to be the same tie
    };
    for (const auto& event : events) {
        EXPECT_NEAR(clock.reading(event.stamp, event.clockNow), event.reading, 1e-9) << event.stamp;
    }
}

} // namespace chimex
