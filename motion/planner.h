// SPDX-License-Identifier: MIT
#pragma once

#include "controller.h"
#include "move_timing.h"

#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace chimex {

/// The length of a vector, scaled by its largest part so that a single axis gives it exactly.
double lengthOf(const Direction& v);

/// The acceleration a path along the unit direction allows: each axis's own over its share.
double accelAlong(const Direction& unit, const Controller& c);

/// A straight move as the planner sees it.
struct PlannerMove {
    Direction unit{};
    double feed = 0;
    double accel = 0;
    double length = 0;
};

/// Entry speeds of a run of moves played without a stop between them (the first is 0, the last
/// move ends at rest): each junction at most its corner and feed limits, slow enough to stop
/// within the moves the controller sees ahead, and reachable from the move before.
std::vector<double> entrySpeeds(const std::vector<PlannerMove>& run, const Controller& c);
/// The same for the moves from the middle of such a run, the first entered at `entry`.
std::vector<double> entrySpeeds(const std::vector<PlannerMove>& run, const Controller& c,
                                double entry);

class KlipperPlanner;

/// One step of a planned file: a move with its speeds, or a dwell or stop (speeds all 0).
struct PlannedStep {
    double start = 0;
    double seconds = 0;
    MoveSpeeds speeds;
};

/// Times moves as a controller that blends them through its junctions, as they come: each move's
/// entry and exit speeds, and so its time, are known once the moves it can see ahead are given.
/// A dwell empties the planner, so the moves on both sides of it stop, and it waits the
/// controller's stop delay when the machine comes to it moving; a controller that times moves in
/// periods ends each in the period after its exact end. Memory stays within its look-ahead.
/// A controller that plans as Klipper does is timed by KlipperPlanner.
class MotionPlanner {
  public:
    explicit MotionPlanner(const Controller& c) : MotionPlanner(c, 0) {}
    /// A planner whose first move is entered at `entry`, as in the middle of a run (not for
    /// Klipper, whose runs are planned whole).
    MotionPlanner(const Controller& c, double entry);
    MotionPlanner(MotionPlanner&&) noexcept;
    MotionPlanner& operator=(MotionPlanner&&) noexcept;
    ~MotionPlanner();

    /// A move by `displacement` at `feed` (length/s); false, and nothing given, for one of no
    /// length or speed or beyond reckoning.
    bool move(const Direction& displacement, double feed);
    /// A move already along its unit direction, with its acceleration; false, and nothing given,
    /// for one Klipper skips.
    bool move(const PlannerMove& m);
    /// A dwell of `seconds` (0: none, but still a stop); GRBL's in its whole dwell steps.
    void dwell(double seconds);
    /// A stop without a dwell: the last move given ends at rest. Also ends the file.
    void stop();

    /// The next step whose timing is known, in the order given; nothing while a move waits.
    std::optional<PlannedStep> next();
    /// The end of the steps handed out so far.
    double clock() const;

  private:
    struct Pending {
        PlannerMove move;
        bool isMove = false;
        bool isDwell = false;
        double seconds = 0; ///< a dwell's
    };
    std::optional<double> exitSpeed() const;

    Controller controller_;
    std::deque<Pending> pending_;
    double entry_ = 0;
    double clock_ = 0;
    bool moved_ = false; ///< a move has been handed out since the last dwell
    std::unique_ptr<KlipperPlanner> klipper_;
};

} // namespace chimex
