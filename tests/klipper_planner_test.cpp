// SPDX-License-Identifier: MIT
#include "motion/klipper_planner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace chimex {
namespace {

/// Half a step at 80 steps/mm: Klipper steps when the position passes the middle between steps.
constexpr double halfStep = 0.5 / 80;
/// Klipper compresses step times to within 25 µs of the exact ones.
constexpr double stepTolerance = 30e-6;

/// Seconds into a planned move of `length` at which it has covered `distance`.
double timeAt(double distance, double length, const MoveSpeeds& v) {
    const double up = (v.feed * v.feed - v.entry * v.entry) / (2 * v.accel);
    const double down = (v.feed * v.feed - v.exit * v.exit) / (2 * v.accel);
    if (distance <= up) {
        return (std::sqrt(v.entry * v.entry + 2 * v.accel * distance) - v.entry) / v.accel;
    }
    const double cruise = length - up - down;
    const double before = (v.feed - v.entry) / v.accel;
    if (distance <= up + cruise) {
        return before + (distance - up) / v.feed;
    }
    const double left = std::max(v.feed * v.feed - 2 * v.accel * (distance - up - cruise), 0.0);
    return before + cruise / v.feed + (v.feed - std::sqrt(left)) / v.accel;
}

struct Recorded {
    double length = 0;
    double first = 0;
    double last = 0;
};

/// Plays one recorded case through the planner and compares each move's first and last step.
void checkCase(const std::string& name, KlipperPlanner& planner,
               const std::vector<Recorded>& recorded) {
    planner.stop();
    std::vector<Recorded> predicted;
    while (const auto step = planner.next()) {
        if (step->speeds.feed > 0) {
            const double length = recorded.at(predicted.size()).length;
            predicted.push_back({length, step->start + timeAt(halfStep, length, step->speeds),
                                 step->start + timeAt(length - halfStep, length, step->speeds)});
        }
    }
    ASSERT_EQ(predicted.size(), recorded.size()) << name;
    const double zero = predicted.front().first;
    for (std::size_t i = 0; i < recorded.size(); ++i) {
        EXPECT_NEAR(predicted[i].first - zero, recorded[i].first, stepTolerance)
            << name << " move " << i + 1;
        EXPECT_NEAR(predicted[i].last - zero, recorded[i].last, stepTolerance)
            << name << " move " << i + 1;
    }
}

TEST(KlipperPlanner, StepsWhereKlippersOwnCodeStepped) {
    // Corners at the square corner velocity, straight on at the slower feed, reversals, short
    // notes flattened by the cruise ratio (alone and in a run), dwells, a slow Z and a 40-note tune
    // with rests.
    std::ifstream in(CHIMEX_CONTROLLER_DATA "/klipper_steps.txt");
    ASSERT_TRUE(in) << "test data missing";
    std::string line, name;
    std::optional<KlipperPlanner> planner;
    std::vector<Recorded> recorded;
    int cases = 0;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "case") {
            if (planner) {
                checkCase(name, *planner, recorded);
            }
            KlipperLimits limits;
            limits.maxVelocity = 300;
            words >> name >> limits.maxAccel >> limits.maxZAccel >> limits.squareCornerVelocity >>
                limits.minimumCruiseRatio;
            planner.emplace(limits);
            recorded.clear();
            ++cases;
        } else if (kind == "move") {
            char axis = 0;
            double length = 0, feed = 0;
            Recorded r;
            words >> axis >> length >> feed >> r.first >> r.last;
            Direction displacement{};
            displacement[static_cast<std::size_t>(axis - 'X')] = length;
            r.length = std::abs(length);
            ASSERT_TRUE(planner->move(displacement, feed / 60)) << line;
            recorded.push_back(r);
        } else if (kind == "dwell") {
            double seconds = 0;
            words >> seconds;
            planner->dwell(seconds);
        }
    }
    ASSERT_TRUE(planner);
    checkCase(name, *planner, recorded);
    EXPECT_EQ(cases, 9);
}

TEST(KlipperPlanner, SkipsWhatKlipperSkipsAndKeepsEveryTimeFinite) {
    KlipperPlanner planner({300, 500, 0, 0, 5, 0.5});
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(planner.move({1e-10, 0, 0}, 10));
    EXPECT_FALSE(planner.move({1, 0, 0}, nan));
    EXPECT_FALSE(planner.move({std::numeric_limits<double>::infinity(), 0, 0}, 10));
    planner.dwell(nan);
    const auto dwell = planner.next();
    ASSERT_TRUE(dwell);
    EXPECT_EQ(dwell->seconds, 0);
    // The older setting: an acceleration to deceleration of half the acceleration is a ratio 0.5.
    EXPECT_DOUBLE_EQ(cruiseRatioOfAccelToDecel(1500, 3000), 0.5);
    EXPECT_DOUBLE_EQ(cruiseRatioOfAccelToDecel(4000, 3000), 0);
}

} // namespace
} // namespace chimex
