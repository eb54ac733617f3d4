// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace chimex {

enum class LengthUnit { Millimetre, Inch };

/// The machine a timed file was written for, as its header states it, lengths in the file's unit;
/// each value only where the file states it.
struct TimedFor {
    std::optional<std::array<double, 3>> stepsPerUnit; ///< X, Y, Z
    std::optional<std::array<double, 2>> accel;        ///< X and Y, Z; units/s²
    std::optional<double> junctionDeviation;           ///< GRBL's and Marlin's corner rule, units
    std::optional<double> squareCornerVelocity;        ///< Klipper's, units/s
    /// LinuxCNC's exact stop at every move's end: its servo period and task cycle (0: not known),
    /// s.
    std::optional<std::array<double, 2>> exactStop;
    std::optional<double> stopDelay; ///< GRBL's $1, what a stop at a rest costs, s

    bool any() const {
        return stepsPerUnit || accel || junctionDeviation || squareCornerVelocity || exactStop ||
               stopDelay;
    }
};

/// The header comments that state `timed`, one a value, in a file of `unit`. Printable ASCII and
/// no parentheses, so that every dialect takes them as comments.
std::vector<std::string> timedForTexts(const TimedFor& timed, LengthUnit unit);

/// Adds to `timed` the value the comment `text` states when it is one of timedForTexts's forms
/// (in either unit); false, and `timed` unchanged, for any other text.
bool readTimedForText(std::string_view text, TimedFor& timed);

/// A stated value as its comment writes it, so that a value and the one read back compare equal.
std::string timedForNumber(double value);

} // namespace chimex
