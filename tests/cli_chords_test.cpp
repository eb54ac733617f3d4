// SPDX-License-Identifier: MIT
#include "cli/check/part_check.h"
#include "cli/render/chord_gcode.h"
#include "machinefile/gcode_reader.h"
#include "motion/planner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>

namespace chimex {
namespace {

/// Key k jogs X and Y at k + 1 and Z at (k + 1) / 2 mm/s, so a speed tells the key and the axis.
TunedSpeeds keySpeeds() {
    TunedSpeeds speeds;
    for (std::size_t k = 0; k < keyCount; ++k) {
        speeds.speed[0][k] = speeds.speed[1][k] = static_cast<float>(k + 1);
        speeds.speed[2][k] = speeds.speed[0][k] / 2;
    }
    return speeds;
}

/// A travel of 10 mm on each axis.
MachineLimits travelOf10(float maxZSpeed) {
    return {10, 10, 10, 40, maxZSpeed};
}

ChordPlan planOf(const std::vector<ChordNote>& notes, float maxZSpeed) {
    return planChords(notes, chordSegments(notes, 3), keySpeeds(), travelOf10(maxZSpeed));
}

struct SegmentsCase {
    const char* name;
    std::vector<ChordNote> notes;
    int voices;
    std::vector<ChordSegment> segments;
    long long dropped;
    int firstDroppedKey;
    double firstDroppedTime;
};

TEST(ChordSegments, CutAtEveryStartAndEndKeepingTheHighestTheLowestThenTheNextHighest) {
    const std::vector<ChordNote> four = {{10, 0, 1}, {20, 0, 1}, {5, 0, 1}, {15, 0, 1}};
    const SegmentsCase cases[] = {
        {"ThreeOfFour", four, 3, {{0, 1, {1, 2, 3}}}, 1, 10, 0},
        {"TwoOfFour", four, 2, {{0, 1, {1, 2}}}, 2, 15, 0},
        {"OverlapsRestsAndASilentNote",
         {{1, 0, 1}, {4, 0.2, 0.2}, {2, 0.5, 1.5}, {3, 2, 2.5}},
         2,
         {{0, 0.5, {0}}, {0.5, 0.5, {0, 2}}, {1, 0.5, {2}}, {1.5, 0.5, {}}, {2, 0.5, {3}}},
         0,
         0,
         0},
        {"OneVoiceHoldsTheHighest", {{20, 0, 1}, {5, 0.5, 1}}, 1, {{0, 1, {0}}}, 1, 5, 0.5},
    };
    for (const SegmentsCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ChordScore score = chordSegments(c.notes, c.voices);
        ASSERT_EQ(score.segments.size(), c.segments.size());
        for (std::size_t i = 0; i < c.segments.size(); ++i) {
            EXPECT_NEAR(score.segments[i].start, c.segments[i].start, 1e-12) << i;
            EXPECT_NEAR(score.segments[i].duration, c.segments[i].duration, 1e-12) << i;
            EXPECT_EQ(score.segments[i].notes, c.segments[i].notes) << i;
        }
        EXPECT_EQ(score.dropped, c.dropped);
        EXPECT_EQ(score.firstDroppedKey, c.firstDroppedKey);
        EXPECT_EQ(score.firstDroppedTime, c.firstDroppedTime);
    }
}

struct PlanCase {
    const char* name;
    std::vector<ChordNote> notes;
    float maxZSpeed;
    std::vector<Direction> velocities; ///< each segment's, mm/s: axis, direction and speed
    long long placed;
    long long lowered;
    bool noRoom;
};

TEST(PlanChords, EachNoteTakesAnAxisAndADirectionThatKeepItInsideTheTravel) {
    const PlanCase cases[] = {
        // Z only for a third note: the first that fits its fastest speed, else the lowest, lowered.
        {"ZTakesTheFirstNoteThatFits",
         {{20, 0, 0.2}, {5, 0, 0.2}, {3, 0, 0.2}},
         5,
         {{21, 4, 3}},
         3,
         0,
         false},
        {"ZTakesTheLowestWhenNoneFits",
         {{20, 0, 0.2}, {10, 0, 0.2}, {15, 0, 0.2}},
         2,
         {{21, 16, 1.375}},
         3,
         1,
         false},
        // A new note heads for the far end of its axis: down from 6 mm, up from 4 after a rest.
        {"ANewNoteHeadsForTheFarEnd",
         {{9, 0, 0.6}, {4, 0.6, 1}, {1, 1.2, 1.7}},
         10,
         {{10, 0, 0}, {-5, 0, 0}, {0, 0, 0}, {2, 0, 0}},
         3,
         0,
         false},
        // The held X note would reach the end at 10 mm: it turns round and keeps going down.
        {"AHeldNoteTurnsAtTheEnd",
         {{9, 0, 1.2}, {1, 0.4, 0.6}, {1, 0.8, 1}},
         10,
         {{10, 0, 0}, {10, 2, 0}, {10, 0, 0}, {-10, 2, 0}, {-10, 0, 0}},
         3,
         0,
         false},
        // From 6 mm, 6 mm either way reaches 0 or passes 10: playing ends before that note.
        {"NoRoomEitherWay", {{9, 0, 0.6}, {9, 0.6, 1.2}}, 10, {{10, 0, 0}}, 1, 0, true},
    };
    for (const PlanCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ChordPlan plan = planOf(c.notes, c.maxZSpeed);
        ASSERT_EQ(plan.moves.size(), c.velocities.size());
        Direction at{};
        for (std::size_t i = 0; i < plan.moves.size(); ++i) {
            const ChordMove& move = plan.moves[i];
            EXPECT_EQ(move.velocity, c.velocities[i]) << i;
            for (std::size_t a = 0; a < 3; ++a) {
                EXPECT_NEAR(move.target[a], at[a] + move.velocity[a] * move.duration, 1e-6) << i;
                if (move.velocity[a] != 0) {
                    EXPECT_TRUE(move.target[a] > 0 && move.target[a] < 10) << i << " " << a;
                }
            }
            at = move.target;
        }
        EXPECT_EQ(plan.notesPlaced, c.placed);
        EXPECT_EQ(plan.notesLowered, c.lowered);
        EXPECT_EQ(plan.noRoom, c.noRoom);
    }
}

/// A chord of X and Y, a rest of 0.3 s, then three new notes at once.
const std::vector<ChordNote> song = {
    {9, 0, 0.5}, {19, 0.25, 0.5}, {4, 0.8, 1.3}, {2, 0.8, 1.3}, {3, 0.8, 1.3}};

/// Every move starts and ends at rest; Z speeds up slower than X and Y, mm/s².
Controller exactStopMachine() {
    Controller machine;
    machine.accel = {500, 500, 200};
    machine.exactStop = true;
    return machine;
}

TEST(TimeChords, EachChordLastsItsSegmentAlongItsVelocityAndTheRestBecomesADwell) {
    const ChordPlan plan = planOf(song, 10);
    ASSERT_EQ(plan.moves.size(), 4u);
    const Controller machine = exactStopMachine();
    const TimedChords timed = timeChords(plan, machine, {10, 10, 10});
    EXPECT_EQ(timed.report.tooShort, 0);
    EXPECT_EQ(timed.plan.notesPlaced, plan.notesPlaced);
    const std::vector<ChordMove>& moves = timed.plan.moves;
    ASSERT_EQ(moves.size(), 4u);
    EXPECT_TRUE(moves[2].rest);
    EXPECT_NEAR(moves[2].duration, 0.3, 0.0005);
    Direction at{};
    for (const std::size_t i : {0, 1, 3}) {
        SCOPED_TRACE(i);
        const ChordMove& played = plan.moves[i];
        EXPECT_EQ(moves[i].velocity, played.velocity);
        const double feed = lengthOf(played.velocity);
        Direction step{}, unit{};
        for (std::size_t a = 0; a < 3; ++a) {
            step[a] = moves[i].target[a] - at[a];
            unit[a] = played.velocity[a] / feed;
        }
        const double length = lengthOf(step);
        for (std::size_t a = 0; a < 3; ++a) { // along the velocity, inside the travel
            EXPECT_NEAR(step[a], unit[a] * length, 1e-4) << a;
            EXPECT_TRUE(unit[a] == 0 || (moves[i].target[a] > 0 && moves[i].target[a] < 10)) << a;
        }
        const double accel = accelAlong(unit, machine);
        EXPECT_NEAR(moveDuration(length, {feed, 0, 0, accel}), played.duration, 1e-4);
        at = moves[i].target;
    }
}

/// Each G1 line's axes with their targets and speeds, and each dwell, read back.
struct ReadBack {
    std::map<long long, std::map<std::size_t, std::pair<double, double>>> moves;
    std::vector<double> dwells;
};

ReadBack readBack(const std::string& gcode) {
    std::istringstream in(gcode);
    GcodeReader reader(in, [](const MoveIssue& issue) { ADD_FAILURE() << issue.message; });
    ReadBack back;
    while (const auto event = reader.next()) {
        if (event->kind == MoveEventKind::Pause) {
            back.dwells.push_back(event->seconds);
        } else if (event->target != event->from) { // not the start's G0 to 0, 0, 0
            back.moves[event->line][axisIndex(event->axis)] = {event->target, *event->speed};
        }
    }
    EXPECT_FALSE(reader.missingEnd());
    return back;
}

TEST(WriteChordGcode, EachChordIsOneG1OfItsNotesAxesAtTheirSpeedsInsideTheTravel) {
    const ChordPlan plan = planOf(song, 10);
    const Controller machine = exactStopMachine();
    const std::pair<ChordPlan, const Controller*> written[] = {
        {plan, nullptr}, {timeChords(plan, machine, {10, 10, 10}).plan, &machine}};
    for (const auto& [chords, timed] : written) {
        SCOPED_TRACE(timed != nullptr);
        std::ostringstream out;
        const long long count =
            writeChordGcode(out, {GcodeDialect::LinuxCnc, LengthUnit::Millimetre}, chords, timed);
        EXPECT_EQ(count, 3);
        const ReadBack back = readBack(out.str());
        EXPECT_EQ(back.dwells, (std::vector<double>{2, 0.3}));
        ASSERT_EQ(back.moves.size(), 3u);
        auto line = back.moves.begin();
        for (const ChordMove& move : chords.moves) {
            if (move.rest) {
                continue;
            }
            ASSERT_NE(line, back.moves.end());
            std::size_t moving = 0;
            for (std::size_t a = 0; a < 3; ++a) {
                const double speed = std::abs(move.velocity[a]);
                moving += speed > 0 ? 1 : 0;
                if (speed > 0) {
                    ASSERT_TRUE(line->second.count(a)) << a;
                    const auto [target, reached] = line->second.at(a);
                    EXPECT_NEAR(target, move.target[a], 1e-4) << a;
                    EXPECT_TRUE(reached <= speed && reached > speed * 0.999)
                        << a << ": " << reached;
                }
            }
            EXPECT_EQ(line->second.size(), moving);
            ++line;
        }
        std::istringstream in(out.str());
        const CheckReport report = checkMoveFile(in, travelOf10(10));
        EXPECT_TRUE(report.clean()) << report.violations.front().message;
    }
}

} // namespace
} // namespace chimex
