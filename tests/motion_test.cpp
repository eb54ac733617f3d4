// SPDX-License-Identifier: MIT
#include "motion/grbl_exact.h"
#include "motion/grbl_steps.h"
#include "motion/junction.h"
#include "motion/move_timing.h"
#include "motion/planner.h"
#include "motion/timed_moves.h"
#include "motion/timed_segments.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <string>

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
    {0.078, {10, 4, 2, 500}, 0.016, false}, // up from 4 to 7 and down to 2 mm/s
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
        {{0.6, 0.8, 0}, {0, 0.8, 0.6}, grbl, 8.2332}, // chord to chord: X stops, Z starts
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(cornerSpeed(c.from, c.to, c.rule), c.speed, 1e-4);
    }
    EXPECT_EQ(cornerSpeed(x, x, grbl), std::numeric_limits<double>::infinity());
}

TEST(MotionPlanner, BlendsThroughJunctionsAndStopsAtDwells) {
    // Straight on at full speed, a 90° corner at 4.13 mm/s, a dwell after the stop delay.
    Controller grbl;
    grbl.accel = {500, 500, 500};
    grbl.corner = {grblJunctionDeviation, grbl.accel};
    grbl.stopDelay = 0.025;
    MotionPlanner planner(grbl);
    planner.move({10, 0, 0}, 10);
    planner.move({10, 0, 0}, 10);
    EXPECT_FALSE(planner.next()); // the first move's exit waits for what comes next
    planner.move({0, 10, 0}, 10);
    planner.dwell(0.3);
    planner.move({-5, 0, 0}, 10);
    planner.stop();
    const struct {
        double entry, exit, start;
    } steps[] = {{0, 10, 0},     {10, 4.1317, 1.01}, {4.1317, 0, 2.0134},
                 {0, 0, 3.0519}, {0, 0, 3.3519},     {0, 0, 3.3519 + 0.52}};
    for (const auto& expected : steps) {
        const auto step = planner.next();
        ASSERT_TRUE(step);
        EXPECT_NEAR(step->speeds.entry, expected.entry, 1e-4);
        EXPECT_NEAR(step->speeds.exit, expected.exit, 1e-4);
        EXPECT_NEAR(step->start, expected.start, 1e-4);
    }
    EXPECT_FALSE(planner.next());
    // The pitch glides up from the entry speed and down to the exit speed.
    const MoveSpeeds ramps{10, 4, 0, 500};
    EXPECT_NEAR(rampedSpeed(0.01, 1, ramps), 9, 1e-9);
    EXPECT_NEAR(rampedSpeed(0.5, 1, ramps), 10, 1e-9);
    EXPECT_NEAR(rampedSpeed(0.99, 1, ramps), 5, 1e-9);
}

TEST(MotionPlanner, StopsWithinItsLookAheadAndSpeedsUpNoFasterThanItsMovesAllow) {
    // Ten straight moves of 0.1 mm at 20 mm/s and 500 mm/s²: each move adds at most 100 mm²/s² to
    // the square of the speed, and with three moves in view the machine must be able to stop
    // within them, so it never passes √300 mm/s.
    Controller grbl;
    grbl.accel = {500, 500, 500};
    grbl.corner = {grblJunctionDeviation, grbl.accel};
    grbl.lookAhead = 3;
    const std::vector<PlannerMove> run(10, PlannerMove{{1, 0, 0}, 20, 500, 0.1});
    const std::vector<double> expected = {0,       10,      14.1421, 17.3205, 17.3205,
                                          17.3205, 17.3205, 17.3205, 14.1421, 10};
    const std::vector<double> entries = entrySpeeds(run, grbl);
    ASSERT_EQ(entries.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(entries[i], expected[i], 1e-4) << i;
    }
}

/// A machine that stops at the end of every move, in whole steps of 1/`steps` mm.
Controller exactStopMachine(const Direction& accel, double steps) {
    Controller machine;
    machine.accel = accel;
    machine.stepsPerUnit = {steps, steps, steps};
    machine.exactStop = true;
    return machine;
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
                                           {1, 1, 13.08, 2.1774, 0.25}};
    const Controller machine = exactStopMachine({500, 500, 500}, 80);
    const auto moves = timeMoves(notes, machine, {100, 6, 100});
    const auto ends = modelledEnds(notes, moves, 500);
    for (std::size_t i = 0; i < notes.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(ends[i], notes[i].start + notes[i].hold, 0.5 / 80 / notes[i].feed);
        EXPECT_DOUBLE_EQ(moves[i].target * 80, std::round(moves[i].target * 80));
        EXPECT_EQ(moves[i].reachesFeed, i != 2);
        EXPECT_EQ(moves[i].dwellBefore, i == 3 ? 0.237 : 0.0);
    }
    EXPECT_NEAR(moves[0].target, 1.635 * (1.0 - 1.635 / 500), 1.0 / 80);
    EXPECT_LT(moves[4].target, moves[1].target); // 3.6 + 2.9 mm would leave the 6 mm travel
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

/// Replays timed notes as GRBL runs them (its planner, its step generation, its restarts after a
/// dwell) and returns each note's first step, then the last note's last step, off the score's
/// time from the first note's first step (seconds).
std::vector<double> grblOffsets(const std::vector<TimingNote>& notes,
                                const std::vector<TimedMove>& moves, const Controller& c) {
    MotionPlanner planner(c);
    Direction at{};
    std::vector<double> lengths, dwells; // per move written; dwells before it (-1: none)
    std::vector<long> steps;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const auto axis =
            static_cast<std::size_t>(moves[i].axis >= 0 ? moves[i].axis : notes[i].axis);
        const bool rest = !lengths.empty() && (moves[i].dwellBefore > 0 || moves[i].stopBefore);
        if (rest) {
            planner.dwell(moves[i].dwellBefore);
        }
        Direction shift{};
        shift[axis] = moves[i].target - at[axis];
        at[axis] = moves[i].target;
        planner.move(shift, moves[i].feed);
        lengths.push_back(std::abs(shift[axis]));
        steps.push_back(std::lround(lengths.back() * c.stepsPerUnit[axis]));
        dwells.push_back(rest ? grblDwell(moves[i].dwellBefore) : -1);
    }
    planner.stop();
    std::vector<double> onsets;
    double clock = 0, lastTick = 0, lastStep = 0;
    for (std::size_t k = 0; k < lengths.size();) {
        const PlannedStep step = *planner.next();
        if (!(step.speeds.feed > 0)) {
            continue;
        }
        if (dwells[k] >= 0) {
            const auto [early, late] = grblRestartRange(
                c.stopDelay, static_cast<int>(std::lround(dwells[k] / grblDwellStep)), lastTick);
            clock += (early + late) / 2;
        }
        const GrblMoveTiming t = grblMoveTiming({steps[k], lengths[k], step.speeds});
        onsets.push_back(clock + t.firstStep);
        lastStep = clock + t.lastStep;
        clock += t.end;
        lastTick = t.lastTick;
        ++k;
    }
    std::vector<double> offsets;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        offsets.push_back(onsets[i] - onsets[0] - (notes[i].start - notes[0].start));
    }
    offsets.push_back(lastStep - onsets[0] - (notes.back().start + notes.back().hold));
    return offsets;
}

// Twelve notes on the three axes, legato and with rests (the shortest 30 ms), at the lowest and
// highest accelerations, and with coarse steps (where an early note must be played another way to
// keep time): every first step and the last step within 2 ms of the score by the model
// of GRBL's steps, every feed within 0.1 % of its note's, every target on a whole step.
TEST(GrblExact, EveryNoteStartsOnTheScoreAsGrblStepsIt) {
    const double keys[] = {24, 31, 7, 36, 12, 19, 0, 28, 15, 33, 4, 22};
    const double gaps[] = {0, 0, 0.12, 0, 0.03, 0.26, 0, 0, 0.07, 0, 0.4, 0};
    for (const auto& [spu, accel] : {std::pair{80.0, 50.0}, {80.0, 5000.0}, {6.25, 500.0}}) {
        SCOPED_TRACE(testing::Message() << spu << " " << accel);
        Controller grbl;
        grbl.accel = {accel, accel, accel};
        grbl.stepsPerUnit = {spu, spu, spu};
        grbl.corner = {grblJunctionDeviation, grbl.accel};
        grbl.stopDelay = 0.025;
        grbl.grblSteps = true;
        grbl.positionDecimals = 4;
        std::vector<TimingNote> notes;
        double clock = 0;
        for (std::size_t i = 0; i < 12; ++i) {
            const double feed = 130.8128 * std::pow(2, keys[i] / 12) / spu;
            notes.push_back({static_cast<int>(i % 3), 1, feed, clock + gaps[i], 0.15 + 0.03 * i});
            clock = notes.back().start + notes.back().hold;
        }
        const auto moves = timeGrblMoves(notes, grbl, {500, 500, 500}, {100, 100, 100});
        ASSERT_TRUE(moves.has_value());
        for (std::size_t i = 0; i < notes.size(); ++i) {
            EXPECT_NEAR((*moves)[i].feed / notes[i].feed, 1, 0.001) << i;
            EXPECT_DOUBLE_EQ(std::round((*moves)[i].target * spu), (*moves)[i].target * spu) << i;
        }
        const std::vector<double> offsets = grblOffsets(notes, *moves, grbl);
        for (std::size_t i = 0; i < offsets.size(); ++i) {
            EXPECT_LE(std::abs(offsets[i]), 0.002) << i;
        }
    }
}

TEST(TimedSegments, ChordsStartOnTheScoresClockAlongTheirDirections) {
    // A diagonal, a three-axis chord, a rest, a chord whose Y turns round at the 5 mm travel, a
    // still segment and one note: every segment ends on the score's clock in whole steps.
    const std::vector<TimingSegment> segments = {{{3, 4, 0}, 0.1, 0.5},
                                                 {{-3, 4, 2}, 0.6, 0.4},
                                                 {{0, 6, 1.5}, 1.2, 0.5},
                                                 {{0, 0, 0}, 1.7, 0.3},
                                                 {{1, 0, 0}, 2.0, 0.2}};
    const Controller machine = exactStopMachine({500, 100, 100}, 80);
    const auto timed = timeSegments(segments, machine, {100, 5, 100});
    // The path accelerates at 125 mm/s², Y's 100 over its share 0.8: 5 mm/s × (0.5 s − 5/125 s).
    EXPECT_EQ(timed[0].target, (Direction{1.375, 1.8375, 0}));
    double clock = 0.1;
    Direction position{};
    for (std::size_t i = 0; i < segments.size(); ++i) {
        SCOPED_TRACE(i);
        const Direction v = segments[i].velocity;
        const double feed = std::hypot(v[0], v[1], v[2]);
        Direction step{};
        double ratio = 0; // every moving axis covers its speed × the same time
        for (std::size_t a = 0; a < 3; ++a) {
            step[a] = timed[i].target[a] - position[a];
            EXPECT_DOUBLE_EQ(timed[i].target[a] * 80, std::round(timed[i].target[a] * 80));
            if (v[a] != 0) {
                ratio = ratio > 0 ? ratio : std::abs(step[a] / v[a]);
                EXPECT_NEAR(std::abs(step[a] / v[a]), ratio, 0.02) << a;
            }
        }
        clock += timed[i].dwellBefore;
        if (feed > 0) { // as written: no axis faster than its note, and the last stops on time
            const double length = std::hypot(step[0], step[1], step[2]);
            Direction along{};
            for (std::size_t a = 0; a < 3; ++a) {
                along[a] = step[a] / length;
            }
            clock += moveDuration(length, {feedAlong(step, v), 0, 0, accelAlong(along, machine)}) +
                     timed[i].dwellAfter;
            EXPECT_NEAR(clock, segments[i].start + segments[i].hold,
                        i + 1 < segments.size() ? 0.5 / 80 / feed * 1.8 : 0.0005);
        }
        position = timed[i].target;
    }
    EXPECT_LT(timed[2].target[1], timed[1].target[1]); // turned round, and Z went on upwards
    EXPECT_GT(timed[2].target[2], timed[1].target[2]);
    EXPECT_NEAR(timed[2].dwellBefore, 0.2, 0.003);
    EXPECT_EQ(timed[3].target, timed[2].target);
    EXPECT_NEAR(timed[4].dwellBefore, 0.3, 0.003); // the still segment is a rest
}

TEST(TimedSegments, NoMoveLandsOnZeroNorMovesNoWholeStepAndOneWithoutRoomEndsPlaying) {
    // Steps of 1 mm on a 5 mm Y travel: 2 mm up, 2 mm down would land on 0 and turns round; an X
    // note of 10 µm and one whose ramps leave it under half a step are rests; then 5 mm up or down
    // from 4 mm fits neither way, and the tune ends there with its time kept by a dwell.
    const std::vector<TimingSegment> segments = {
        {{0, 10, 0}, 0, 0.22},     {{0, -10, 0}, 0.22, 0.22}, {{10, 0, 0}, 0.44, 0.001},
        {{10, 0, 0}, 0.441, 0.06}, {{0, 10, 0}, 0.501, 0.49}, {{10, 0, 0}, 0.991, 1}};
    const Controller machine = exactStopMachine({500, 500, 500}, 1);
    const auto timed = timeSegments(segments, machine, {100, 5, 100});
    EXPECT_EQ(timed[0].target, (Direction{0, 2, 0}));
    EXPECT_EQ(timed[1].target, (Direction{0, 4, 0}));
    EXPECT_EQ(timed[2].silence, Silence::TooShort);
    EXPECT_EQ(timed[3].silence, Silence::TooShortForRamps);
    EXPECT_EQ(timed[3].target, timed[1].target);
    EXPECT_TRUE(timed[4].noRoom);
    EXPECT_NEAR(timed[3].dwellAfter, 0.061, 1e-9);
}

/// GRBL's step pulses recorded in its simulation (tests/controllers/grbl), seconds from the first.
std::vector<double> recordedPulses(const std::string& name) {
    std::ifstream in(std::string(CHIMEX_GRBL_STEPS) + "/" + name);
    std::vector<double> pulses;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] != '#') {
            pulses.push_back(std::stod(line.substr(2)) / 16e6);
        }
    }
    return pulses;
}

TEST(GrblSteps, EveryPulseAsGrblStepsIt) {
    // Moves in whole steps (mm, mm/s) from rest; a row without a feed is a dwell.
    struct Step {
        Direction move;
        double feed, dwell;
    };
    const struct {
        const char* file;
        double stepsPerUnit, accel;
        std::vector<Step> steps;
    } rows[] = {
        {"cruise.txt", 80, 500, {{{2.5, 0, 0}, 6.54, 0}}},
        {"coarse.txt", 6.25, 50, {{{1.6, 0, 0}, 20, 0}}}, // slow segments, the slowest period
        {"corners.txt",
         400,
         5000,
         {{{0.25, 0, 0}, 2, 0}, {{0, 0.2, 0}, 1.5, 0}, {{0, 0, 0.15}, 3, 0}}},
        {"dwell.txt",
         80,
         500,
         {{{0.25, 0, 0}, 5.123, 0}, {{}, 0, 0.039}, {{0.25, 0, 0}, 5.123, 0}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        Controller grbl;
        grbl.accel = {row.accel, row.accel, row.accel};
        grbl.corner = {grblJunctionDeviation, grbl.accel};
        MotionPlanner planner(grbl);
        for (const Step& s : row.steps) {
            s.feed > 0 ? static_cast<void>(planner.move(s.move, s.feed)) : planner.dwell(s.dwell);
        }
        planner.stop();
        const std::vector<double> pulses = recordedPulses(row.file);
        std::vector<double> model;
        double start = 0, lastTick = 0;
        int dwellSteps = -1; // a dwell comes before the next move
        for (const Step& s : row.steps) {
            const PlannedStep planned = *planner.next();
            if (s.feed == 0) {
                dwellSteps = static_cast<int>(std::lround(grblDwell(s.dwell) / grblDwellStep));
                continue;
            }
            const GrblMove move{std::lround(lengthOf(s.move) * row.stepsPerUnit), lengthOf(s.move),
                                planned.speeds};
            const GrblMoveTiming timing = grblMoveTiming(move);
            if (dwellSteps >= 0) { // on the stopped move's tick, give or take the latency's
                const double restart =
                    pulses[model.size()] + model.front() - start - timing.firstStep;
                EXPECT_NEAR(restart, grblRestart(0.025, dwellSteps, lastTick), lastTick / 2);
                const auto [early, late] = grblRestartRange(0.025, dwellSteps, lastTick);
                EXPECT_NEAR(restart, (early + late) / 2, (late - early) / 2 + 1e-6);
                start += restart;
                dwellSteps = -1;
            }
            for (const double t : grblStepTimes(move)) {
                model.push_back(start + t);
            }
            start += timing.end;
            lastTick = timing.lastTick;
        }
        ASSERT_EQ(model.size(), pulses.size());
        for (std::size_t i = 0; i < model.size(); ++i) {
            EXPECT_NEAR(pulses[i], model[i] - model.front(), 2e-6) << i;
        }
    }
}

TEST(GrblSteps, DwellsInWholeStepsAndMovesGrblDrops) {
    const double dwells[][2] = {{0.039, 0.05},
                                {0.05, 0.05},
                                {0.0501, 0.1},
                                {0, 0},
                                {-1, 0},
                                {std::nan(""), 0},
                                {grblDwellRequest(3), 0.15}};
    for (const auto& d : dwells) {
        EXPECT_DOUBLE_EQ(grblDwell(d[0]), d[1]) << d[0];
    }
    const GrblMove dropped[] = {{0, 1, {5, 0, 0, 500}},
                                {10, std::nan(""), {5, 0, 0, 500}},
                                {10, 1, {5, 6, 0, 500}},
                                {10, 1, {5, 0, 0, 0}}};
    for (const GrblMove& m : dropped) {
        EXPECT_EQ(grblMoveTiming(m).end, 0);
        EXPECT_TRUE(grblStepTimes(m).empty());
    }
}

TEST(TimedSegments, AnyInputGivesFiniteMoves) {
    const double huge = 1e300, nan = std::nan("");
    const std::vector<TimingSegment> segments = {{{1e200, -1e200, 1e200}, 0, huge},
                                                 {{1, 0, 0}, huge, 0},
                                                 {{nan, 1, 0}, 0, nan},
                                                 {{0, 0, 2}, -huge, 1},
                                                 {{1e-300, 0, 0}, 5, 1}};
    Controller grbl;
    grbl.accel = {500, 500, 500};
    grbl.stepsPerUnit = {80, 80, 80};
    grbl.corner = {grblJunctionDeviation, grbl.accel};
    grbl.stopDelay = 0.025;
    for (const TimedSegment& t : timeSegments(segments, grbl, {100, 100, 100})) {
        EXPECT_TRUE(std::isfinite(t.dwellBefore) && std::isfinite(t.dwellAfter));
        for (const double x : t.target) {
            EXPECT_TRUE(std::isfinite(x));
        }
    }
}

} // namespace
} // namespace chimex
