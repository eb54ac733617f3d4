// SPDX-License-Identifier: MIT
#pragma once

#include "machinefile/move_file_reader.h"
#include "machinefile/warning_tally.h"
#include "motion/move_timing.h"
#include "motion/planner.h"

#include <deque>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace chimex {

/// Seconds a jog of `distance` at `speed` lasts: distance over speed, or with `accel` from rest
/// to rest through its ramps.
double moveSeconds(double distance, double speed, Axis axis,
                   const std::optional<AxisAcceleration>& accel);

/// A part-file event with its place in time.
struct TimedEvent {
    MoveEvent event;
    double start = 0;   ///< seconds from the start of the file
    double seconds = 0; ///< how long it lasts; 0 when it cannot be timed
    bool timed = true;  ///< false for a move whose speed is unknown or never gets it there
    double accel = 0;   ///< the axis's acceleration through the ramps, length/s²; 0 without
    double entry = 0;   ///< the axis's speed as the move starts (0: from rest)
    double exit = 0;    ///< and as it ends (0: to rest)
};

/// Reads a part file as the moves that go somewhere and the pauses that last, each with its start
/// time. The moves of one line start together; the next line starts when the longest ends. The
/// axes of a G1 of several axes move along its straight line: each at its share of the feed, all
/// for the same time, with the acceleration along the line limited by each axis's over its share.
/// Memory does not grow with the file.
class TimedMoveReader {
  public:
    /// `name` is the file's name in messages. With `accel`, each move starts and ends at rest and
    /// lasts its ramps too; without, it runs at its speed throughout.
    TimedMoveReader(std::istream& in, std::string name,
                    std::optional<AxisAcceleration> accel = std::nullopt);
    /// Moves blend through their junctions as `blending`'s planner has them, each line's move
    /// timed once the moves its look-ahead sees are read; a dwell or a move that cannot be timed
    /// stops the machine.
    TimedMoveReader(std::istream& in, std::string name, const Controller& blending);

    /// The next event, nothing at the end. Throws InputFailure, naming the file and line, at the
    /// first line that is not well-formed or when the running time grows beyond a double.
    std::optional<TimedEvent> next();

    /// The running time so far: the whole file's once next() has returned nothing.
    double endSeconds() const { return planner_ ? planner_->clock() : clock_ + lineSeconds_; }

    const WarningTally& ownSpeed() const { return ownSpeed_; }
    const WarningTally& neverArrives() const { return neverArrives_; }
    const WarningTally& negativePauses() const { return negativePauses_; }
    /// Warns about the events that could not be timed.
    void printWarnings(std::ostream& err) const;

  private:
    std::optional<MoveEvent> read();
    std::optional<MoveEvent> readLineMoves();
    void timePath();
    std::optional<TimedEvent> timed(const MoveEvent& event);
    std::optional<TimedEvent> nextAtRest();
    std::optional<TimedEvent> nextBlended();
    bool planLine();
    void takePlanned();

    std::string name_;
    std::optional<AxisAcceleration> accel_;
    MoveFileReader reader_;
    std::optional<MoveEvent> held_; ///< the event read after a G1's axes, not yet handed on
    std::vector<MoveEvent> path_;   ///< the axes of the G1 being handed on
    std::size_t pathNext_ = 0;
    double pathLength_ = 0;
    double pathSeconds_ = 0; ///< how long the G1's move lasts
    double pathAccel_ = 0;   ///< its acceleration along the line
    long long line_ = 0;
    double clock_ = 0;       ///< when the current line started
    double lineSeconds_ = 0; ///< how long the current line lasts so far
    std::optional<MotionPlanner> planner_;
    std::deque<TimedEvent> planned_;     ///< events waiting for their times, then handed on
    std::deque<std::size_t> stepEvents_; ///< how many of them each step given to the planner has
    std::size_t ready_ = 0;              ///< the events at the front whose times are known
    bool ended_ = false;
    WarningTally ownSpeed_;
    WarningTally neverArrives_;
    WarningTally negativePauses_;
};

} // namespace chimex
