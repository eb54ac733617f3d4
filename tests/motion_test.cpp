// SPDX-License-Identifier: MIT
#include "motion/junction.h"
#include "motion/move_timing.h"
#include "motion/timed_moves.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace chimex {
namespace {

struct MoveCase {
    double length;
    MoveSpeeds speeds;
    double seconds;
    bool reachesFeed;
};

// Trapezoids, a triangle and a move entered and left at speed; lengths in mm, speeds in mm/s.
const MoveCase moveCases[] = {
    {10, {10, 0, 0, 500}, 1.02, true},
    {9.8, {10, 0, 0, 500}, 1.0, true}, // shortened by v²/a: lasts its note under exact stop
    {0.05, {10, 0, 0, 500}, 0.02, false},
    {10, {10, 4.13, 0, 500}, 1.0 + 5.87 * 5.87 / 10000 + 0.01, true},
    {1, {1.635, 0, 0, 50}, 1 / 1.635 + 1.635 / 50, true},
    {0.0135, {13.08, 0, 0, 50}, 2 * std::sqrt(50 * 0.0135) / 50, false},
};

TEST(MoveTiming, DurationAndItsInverse) {
    for (const MoveCase& c : moveCases) {
        SCOPED_TRACE(c.length);
        EXPECT_NEAR(moveDuration(c.length, c.speeds), c.seconds, 1e-9);
        const TimedLength back = lengthForDuration(c.seconds, c.speeds);
        EXPECT_NEAR(back.length, c.length, 1e-9);
        EXPECT_EQ(back.reachesFeed, c.reachesFeed);
    }
    // No time at all still gives a move the entry and exit speeds allow, never a negative one.
    EXPECT_GE(lengthForDuration(0, {10, 4, 0, 500}).length, 0);
}

TEST(Junction, CornerSpeeds) {
    const Direction x{1, 0, 0}, minusX{-1, 0, 0}, y{0, 1, 0};
    const CornerRule grbl{grblJunctionDeviation, {500, 500, 500}};
    const struct {
        Direction from, to;
        CornerRule rule;
        double speed;
    } cases[] = {
        {x, y, grbl, 4.1317},
        {x, y, {grblJunctionDeviation, {50, 50, 50}}, 1.3066},
        {x, y, {marlinJunctionDeviation, {500, 500, 500}}, 4.7109},
        {x, minusX, grbl, 0},
        {y, x, {grblJunctionDeviation, {500, 500, 50}}, 4.1317}, // Z's acceleration plays no part
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(cornerSpeed(c.from, c.to, c.rule), c.speed, 1e-4);
    }
    EXPECT_EQ(cornerSpeed(x, x, grbl), std::numeric_limits<double>::infinity());
}

/// Plays the timed moves back through the same rules and returns each note's modelled end.
std::vector<double> modelledEnds(const std::vector<TimingNote>& notes,
                                 const std::vector<TimedMove>& moves, double accel) {
    std::vector<double> ends;
    double clock = notes.front().start;
    std::array<double, 3> position{};
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const auto axis = static_cast<std::size_t>(notes[i].axis);
        clock += moves[i].dwellBefore;
        clock +=
            moveDuration(std::abs(moves[i].target - position[axis]), {notes[i].feed, 0, 0, accel});
        position[axis] = moves[i].target;
        ends.push_back(clock);
    }
    return ends;
}

TEST(TimedMoves, ExactStopNotesEndOnTheScoresClockInWholeSteps) {
    // Key 0 and key 36 at 80 steps/mm; the third note is too short to reach its pitch, a rest of
    // 0.2374 s comes before the fourth, the fifth turns round at the end of the travel.
    const std::vector<TimingNote> notes = {{0, 1, 1.635, 0.1, 1.0},
                                           {1, 1, 13.08, 1.1, 0.3},
                                           {2, 1, 13.08, 1.4, 0.04},
                                           {0, 1, 6.54, 1.6774, 0.5},
                                           {1, 1, 13.08, 2.1774, 0.5}};
    Controller machine;
    machine.accel = {500, 500, 500};
    machine.stepsPerUnit = {80, 80, 80};
    machine.exactStop = true;
    const auto moves = timeMoves(notes, machine, {100, 8, 100});
    const auto ends = modelledEnds(notes, moves, 500);
    for (std::size_t i = 0; i < notes.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(ends[i], notes[i].start + notes[i].hold, 0.5 / 80 / notes[i].feed);
        EXPECT_DOUBLE_EQ(moves[i].target * 80, std::round(moves[i].target * 80));
        EXPECT_EQ(moves[i].reachesFeed, i != 2);
        EXPECT_EQ(moves[i].dwellBefore, i == 3 ? 0.237 : 0.0);
    }
    EXPECT_NEAR(moves[0].target, 1.635 * (1.0 - 1.635 / 500), 1.0 / 80);
    EXPECT_LT(moves[4].target, moves[1].target); // 3.9 + 6.4 mm would leave the 8 mm travel
}

TEST(TimedMoves, GrblCarriesSpeedThroughCornersAndStopsAtRests) {
    // Two notes around a 90° corner, a rest, one more note: the corner is taken at 4.13 mm/s, the
    // rest costs the step idle delay on top of its dwell.
    const std::vector<TimingNote> notes = {
        {0, 1, 10, 0, 0.5}, {1, 1, 10, 0.5, 0.5}, {0, 1, 10, 1.2, 0.5}};
    Controller grbl;
    grbl.accel = {500, 500, 500};
    grbl.corner = {grblJunctionDeviation, {500, 500, 500}};
    grbl.stopDelay = 0.025;
    const auto moves = timeMoves(notes, grbl, {100, 100, 100});
    const double corner = 4.1317;
    const double first = lengthForDuration(0.5, {10, 0, corner, 500}).length;
    EXPECT_NEAR(moves[0].target, first, 1e-3);
    EXPECT_NEAR(moves[1].target, lengthForDuration(0.5, {10, corner, 0, 500}).length, 1e-3);
    EXPECT_DOUBLE_EQ(moves[2].dwellBefore, 0.175);
    EXPECT_NEAR(moves[2].target - moves[0].target, 10 * (0.5 - 10.0 / 500), 1e-9);
}

} // namespace
} // namespace chimex
