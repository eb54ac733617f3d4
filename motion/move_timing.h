// SPDX-License-Identifier: MIT
#pragma once

namespace chimex {

/// The speeds of one straight move: its feed, the speed it is entered at and the speed it is left
/// at (both at most the feed), and the acceleration of its axis. Units: length/s and length/s².
struct MoveSpeeds {
    double feed = 0;
    double entry = 0;
    double exit = 0;
    double accel = 0;
};

/// Seconds a move of `length` lasts when it ramps up from the entry speed to the feed, cruises and
/// ramps down to the exit speed; a move too short to reach the feed ramps up and straight down.
double moveDuration(double length, const MoveSpeeds& speeds);

/// The length whose move lasts exactly `duration` seconds; `reachesFeed` tells whether it cruises
/// at the feed (false: a triangle move, or a duration too short even for that, which gives the
/// shortest move the entry and exit speeds allow).
struct TimedLength {
    double length = 0;
    bool reachesFeed = false;
};
TimedLength lengthForDuration(double duration, const MoveSpeeds& speeds);

/// The seconds a move spends at its feed: its cruise.
double timeAtFeed(double length, const MoveSpeeds& speeds);

/// How fast the axes speed up and slow down, length/s²: X and Y share one, Z has its own.
struct AxisAcceleration {
    double xy = 0;
    double z = 0;
};

/// The speed `elapsed` seconds into a move of these speeds lasting `duration` seconds: up from its
/// entry speed, cruising at the feed when it is long enough to reach it, and down to its exit
/// speed.
double rampedSpeed(double elapsed, double duration, const MoveSpeeds& speeds);

} // namespace chimex
