// SPDX-License-Identifier: MIT
#pragma once

#include "machinefile/gcode_format.h"
#include "motion/controller.h"
#include "partfile/axis.h"
#include "partfile/line_texts.h"

#include <array>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace chimex {

struct AxisTarget {
    Axis axis = Axis::X;
    double target = 0;
};

/// Where the machine stands at a rest: the axis of the move before it, where that move started
/// and where it ended.
struct RestPlace {
    Axis axis = Axis::X;
    double from = 0;
    double at = 0;
};

/// The feed a G1 of several axes at `speed` (units a second) is written with, in units a minute:
/// rounded down, so that no axis is faster than its share of `speed`.
double pathFeedPerMinute(double speed);

/// Writes a tune as G-code for one controller: absolute positions, feeds per minute, each move one
/// line, CR LF line ends. Speeds are given in length units a second, as the part file has them.
class GcodeWriter {
  public:
    GcodeWriter(std::ostream& out, const GcodeFormat& format);

    /// For Klipper: the file sets `tune` after its setup lines and `printer` before its end.
    void setVelocityLimits(const KlipperVelocityLimit& tune, const KlipperVelocityLimit& printer);

    /// The header comments (`header` in HeaderItem order, speeds a second; positions and feeds
    /// with the `decimals` the moves carry), the units and modes, the operator stop with what it
    /// is for, and the move to 0, 0, 0.
    void writeStart(const std::array<double, headerItemCount>& header,
                    int decimals = gcodeDecimals);
    /// One axis to `target` at `speed`, a G1 line.
    void writeMove(Axis axis, double target, double speed);
    /// Several axes to their targets along one straight line at `speed` along it, one G1 line;
    /// the feed is rounded down, so that no axis is faster than its share of `speed`. Targets
    /// carry `decimals` decimals.
    void writeMove(const std::vector<AxisTarget>& targets, double speed,
                   int decimals = gcodeDecimals);
    /// A dwell of `seconds`: G4 P in seconds, for Marlin in milliseconds; nothing when it rounds
    /// to no time.
    void writeDwell(double seconds);
    /// A dwell at a rest of a tune timed against the score, after a move. LinuxCNC times dwells in
    /// its task, which can look at its motion just after sending it the move and before the move
    /// shows as under way, and so start the dwell during the move; exact path restated alone first
    /// makes the task hand that to its motion and wait for it, by which time the move shows.
    void writeTimedDwell(double seconds);
    /// A stop without a dwell (`G4 P0`): the machine finishes its moves and goes on.
    void writeStop();
    /// A rest of a tune timed against the score on `controller`, which also spends its stop delay
    /// there: `seconds` of dwell after the move that left the machine at `place` (nothing: no move
    /// yet). Where LinuxCNC's task cycle is known, the rest is timed by its motion instead, as
    /// moves shorter than any step on the axis of that move.
    void writeTimedRest(double seconds, const Controller& controller,
                        const std::optional<RestPlace>& place);
    /// The program end the controller needs.
    void writeEnd();

  private:
    void line(std::string_view text);
    void comment(std::string_view text);
    void writeKlipperStart(const std::array<double, headerItemCount>& header);
    /// The P word's value as written: seconds to the millisecond, for Marlin milliseconds.
    std::string dwellTime(double seconds) const;

    std::ostream& out_;
    GcodeFormat format_;
    std::optional<std::array<KlipperVelocityLimit, 2>> limits_; ///< the tune's, the printer's
};

} // namespace chimex
