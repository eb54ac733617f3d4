// SPDX-License-Identifier: MIT
// The jog planner of live play: each held note's next short jog, inside the travel.
#include "motion/jog_planner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace chimex {
namespace {

/// X of a GRBL machine homed to 0 with 300 mm of travel, and settings that allow 200 of it.
JogAxis xAxis() {
    return {-300, -100, 500, 50, 0.0125};
}

TEST(JogPlanner, TopsTheQueueUpToTheLeaseInsideTheTravel) {
    struct Row {
        double speed;
        int direction;
        double queueEnd;
        double queued;
        JogStep::Kind kind;
        double length;
    };
    const Row rows[] = {
        {20, -1, -150, 0, JogStep::Jog, -2},       // a fresh note: 100 ms at 20 mm/s
        {20, 1, -150, 0.5, JogStep::Jog, 1.5},     // renewed up to 100 ms queued
        {20, 1, -150, 1.2, JogStep::Wait, 0},      // more than half the lease left
        {40, 1, -150, 1.9, JogStep::Jog, 2.1},     // room to stop (1.6 mm) + 20 ms: renewed
        {20, 1, -100.9, 0, JogStep::Jog, 0.5},     // shortened: 0.4 mm kept to stop
        {20, 1, -100.4, 0, JogStep::NoRoom, 0},    // the end of the travel, less its stop
        {20, -1, -299.6, 0.3, JogStep::NoRoom, 0}, // the low end likewise
        {0.05, 1, -150, 0, JogStep::Jog, 0.013},   // one step, in thousandths
        {0.05, 1, -150, 0.013, JogStep::Wait, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.speed * row.direction);
        const JogStep step =
            nextJog(xAxis(), {0, row.direction, row.speed}, row.queueEnd, row.queued);
        EXPECT_EQ(step.kind, row.kind);
        EXPECT_NEAR(step.length, row.length, 1e-9);
    }
}

TEST(JogPlanner, ChoosesTheAxisAndDirectionWithTheMostRoom) {
    const std::array<JogAxis, 3> axes{xAxis(), JogAxis{-200, 0, 500, 50, 0.01},
                                      JogAxis{-80, 0, 100, 10, 0.0025}};
    struct Row {
        std::array<double, 3> position;
        std::array<double, 3> speeds;
        std::optional<std::size_t> axis;
        int direction;
    };
    const Row rows[] = {
        {{-290, -100, -40}, {20, 20, 0}, 0, 1},            // X upwards: 190 mm against Y's 100
        {{-150, -10, -40}, {20, 20, 0}, 1, -1},            // Y downwards
        {{-110, -100, -40}, {60, 60, 0}, std::nullopt, 0}, // faster than X and Y go
        {{-290, -100, -79}, {0, 0, 5}, 2, 1},              // Z only when the note allows it
        {{-100, -1, -40}, {20, -20, 0}, 0, -1},            // a speed of 0 or less keeps off an axis
        {{-100.1, -100, -40}, {20, 0, 0}, 0, -1},
    };
    for (const Row& row : rows) {
        const auto choice = chooseJog(axes, row.position, row.speeds);
        ASSERT_EQ(choice.has_value(), row.axis.has_value());
        if (choice) {
            EXPECT_EQ(choice->axis, *row.axis);
            EXPECT_EQ(choice->direction, row.direction);
        }
    }
    const std::array<JogAxis, 3> cramped{JogAxis{-100.5, -100, 500, 50, 0.01}, JogAxis{},
                                         JogAxis{}};
    EXPECT_FALSE(chooseJog(cramped, {-100.2, 0, 0}, {20, 20, 20}));
}

/// 1,000 random key sequences: every jog sent, and every place the tool reaches even when the
/// program dies with the whole queue sent, stays inside the bounds; no more than the lease waits.
TEST(JogPlanner, RandomKeySequencesNeverLeaveTheTravel) {
    std::mt19937 random(29);
    const std::array<JogAxis, 3> axes{xAxis(), JogAxis{-200, -150, 300, 40, 0.01},
                                      JogAxis{-80, 0, 100, 10, 0.0025}};
    std::uniform_real_distribution<double> unit(0, 1);
    for (int sequence = 0; sequence < 1000; ++sequence) {
        std::array<double, 3> position{-200, -175, -40};
        for (int note = 0; note < 20; ++note) {
            const double speed = 0.5 * std::pow(2, unit(random) * 7);
            const auto choice = chooseJog(axes, position, {speed, speed, speed});
            if (!choice) {
                continue;
            }
            const JogAxis& axis = axes[choice->axis];
            double& at = position[choice->axis];
            double queueEnd = at;
            const int ticks = int(unit(random) * 300);
            for (int tick = 0; tick < ticks; ++tick) {
                const JogStep step = nextJog(axis, *choice, queueEnd, std::fabs(queueEnd - at));
                if (step.kind == JogStep::NoRoom) {
                    break;
                }
                queueEnd += step.length;
                ASSERT_GE(queueEnd, axis.low);
                ASSERT_LE(queueEnd, axis.high);
                ASSERT_LE(std::fabs(queueEnd - at), std::max(speed * 0.1, 0.013) + 1e-9);
                // 10 ms of motion at most at the note's speed, a little less at random.
                const double moved =
                    std::min(std::fabs(queueEnd - at), speed * 0.01 * unit(random));
                at += choice->direction * moved;
            }
            at = queueEnd; // the queue runs out: released, or the program killed
        }
    }
}

} // namespace
} // namespace chimex
