// SPDX-License-Identifier: MIT
#pragma once

#include "junction.h"
#include "planner.h"

#include <deque>
#include <optional>
#include <vector>

namespace chimex {

/// A cartesian Klipper printer's motion limits, as its `[printer]` section and
/// `SET_VELOCITY_LIMIT` give them (mm, mm/s, mm/s²). A move with Z in it is held to Z's limits
/// over Z's share of its length.
struct KlipperLimits {
    double maxVelocity = 0;
    double maxAccel = 0;
    double maxZVelocity = 0; ///< 0: maxVelocity
    double maxZAccel = 0;    ///< 0: maxAccel
    double squareCornerVelocity = 5;
    double minimumCruiseRatio = 0.5; ///< in [0, 1)
};

/// The cruise ratio a printer of the older `max_accel_to_decel` setting plans with.
double cruiseRatioOfAccelToDecel(double accelToDecel, double maxAccel);

/// Times moves and dwells as Klipper's look-ahead plans them: each junction at most the square
/// corner velocity at 90° (a deviation derived from it and the acceleration), less for sharper
/// corners, 0 for a reversal, never above the slower move's feed nor above what half of either
/// move allows; peaks held to what the acceleration times (1 - minimumCruiseRatio) reaches (a
/// lone move: v² at most length × accel × (1 - ratio)); every dwell preceded by a full stop and
/// lasting exactly its time. A step's `speeds.feed` is the speed its move cruises at, below the
/// move's feed when the move is too short. Moves become known in the batches the look-ahead plans
/// (0.15 s of moves at their feeds, 1 s after a stop); a batch is timed as if all moves up to the
/// next stop were known, so batches change when a move is known, never its timing.
/// Limits must be above 0.
class KlipperPlanner {
  public:
    explicit KlipperPlanner(const KlipperLimits& limits);

    /// A move by `displacement` at `feed` (mm/s); false, and nothing given, for one Klipper skips
    /// (shorter than 1e-9 mm) or of no speed or beyond reckoning.
    bool move(const Direction& displacement, double feed);
    /// `G4`: every move given stops, then the machine waits `seconds` (0: only the stop).
    void dwell(double seconds);
    /// The end of the file: every move given is planned to a stop (a step of 0 seconds).
    void stop();

    /// The next step whose timing is known, in the order given.
    std::optional<PlannedStep> next();
    /// The end of the steps known so far, from the first move's start.
    double clock() const { return clock_; }

  private:
    /// A move in the look-ahead; speeds are squared (mm²/s²), as the planner works in them.
    struct Queued {
        Direction unit{};
        double length = 0;
        double accel = 0;
        double feedSeconds = 0;   ///< its length at its feed
        double cruise2 = 0;       ///< its feed, at most the limits
        double change2 = 0;       ///< most change of v² along it: 2 length accel
        double cruiseChange2 = 0; ///< the same at the cruise ratio's lower acceleration
        double corner = 0;        ///< junction deviation times its acceleration, mm²/s²
        double maxEntry2 = 0;
        double maxCruiseEntry2 = 0;
    };
    struct Junction {
        double entry2 = 0;
        std::optional<double> cruise2;
        double exit2 = 0;
    };

    std::optional<Queued> queued(const Direction& displacement, double feed) const;
    void join(Queued& move) const;
    void plan(bool all);
    void handOut(const Queued& move, const Junction& j);
    void stopAll();

    KlipperLimits limits_;
    double deviation_ = 0;   ///< mm
    double cruiseAccel_ = 0; ///< mm/s²: the cruise ratio's acceleration to deceleration
    std::vector<Queued> queue_;
    std::deque<PlannedStep> known_;
    double budget_ = 0; ///< seconds of moves still to gather before the next plan
    double clock_ = 0;
};

} // namespace chimex
