// SPDX-License-Identifier: MIT
#pragma once

#include "machinefile/move_file_reader.h"
#include "machinefile/warning_tally.h"
#include "motion/move_timing.h"

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

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
};

/// Reads a part file as the moves that go somewhere and the pauses that last, each with its start
/// time. The moves of one line start together; the next line starts when the longest ends.
/// Memory does not grow with the file.
class TimedMoveReader {
  public:
    /// `name` is the file's name in messages. With `accel`, each move starts and ends at rest and
    /// lasts its ramps too; without, it runs at its speed throughout.
    TimedMoveReader(std::istream& in, std::string name,
                    std::optional<AxisAcceleration> accel = std::nullopt);

    /// The next event, nothing at the end. Throws InputFailure, naming the file and line, at the
    /// first line that is not well-formed or when the running time grows beyond a double.
    std::optional<TimedEvent> next();

    /// The running time so far: the whole file's once next() has returned nothing.
    double endSeconds() const { return clock_ + lineSeconds_; }

    const WarningTally& ownSpeed() const { return ownSpeed_; }
    const WarningTally& neverArrives() const { return neverArrives_; }
    const WarningTally& negativePauses() const { return negativePauses_; }
    /// Warns about the events that could not be timed.
    void printWarnings(std::ostream& err) const;

  private:
    std::optional<MoveEvent> read();
    std::optional<TimedEvent> timed(const MoveEvent& event);

    std::string name_;
    std::optional<AxisAcceleration> accel_;
    MoveFileReader reader_;
    long long line_ = 0;
    double clock_ = 0;       ///< when the current line started
    double lineSeconds_ = 0; ///< how long the current line lasts so far
    WarningTally ownSpeed_;
    WarningTally neverArrives_;
    WarningTally negativePauses_;
};

} // namespace chimex
