// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace chimex {

/// The controllers whose G-code chimex-cli writes.
enum class GcodeDialect { Grbl, LinuxCnc, Marlin };

enum class LengthUnit { Millimetre, Inch };

struct GcodeFormat {
    GcodeDialect dialect = GcodeDialect::LinuxCnc;
    LengthUnit unit = LengthUnit::Millimetre;
};

/// "grbl", "linuxcnc" or "marlin" as typed on the command line.
std::optional<GcodeDialect> dialectNamed(std::string_view name);
/// "GRBL", "LinuxCNC" or "Marlin".
std::string_view dialectName(GcodeDialect dialect);

/// The first comment of every file chimex-cli writes, followed by the dialect's name: it tells a
/// reader the dwell unit, which Marlin takes in milliseconds and the others in seconds.
inline constexpr std::string_view gcodeFirstComment =
    "file created by Gantrix Chimex software, G-code for ";

/// The last comment of a file written for Marlin, which has no program end.
inline constexpr std::string_view gcodeLastComment = "End of the song.";

/// The header comments that state the extents and fastest feeds, in the order of HeaderItem;
/// each is followed by a number (and, for the feeds, " mm/min" or " in/min").
inline constexpr std::array<std::string_view, 8> gcodeHeaderTexts = {
    "Maximum X-axis value for this file is ", "Minimum X-axis value for this file is ",
    "Maximum Y-axis value for this file is ", "Minimum Y-axis value for this file is ",
    "Maximum Z-axis value for this file is ", "Minimum Z-axis value for this file is ",
    "Fastest X and Y axis feed is ",          "Fastest Z-axis feed is ",
};

/// Decimals of positions and feeds in G-code: 0.1 micrometre or 0.01 thou, far below what a
/// machine resolves, and at most eight digits for travels below 10000 (GRBL reads eight).
inline constexpr int gcodeDecimals = 4;

/// How far a rest timed by LinuxCNC's motion moves one axis, and back: far below any motor's step,
/// yet above the 1e-8 under which LinuxCNC drops a move. Such a G1 is read as a pause.
inline constexpr double gcodeRestStep = 1e-6;

/// The value in fixed notation with at most `decimals` decimals, rounded to nearest, trailing
/// zeros and a bare point dropped: 0.765, 2, -1.5, 0. G-code has no exponent form.
std::string gcodeNumber(double value, int decimals = gcodeDecimals);

/// A feed (length units a minute) as a jog speed (length units a second). The speed is a single
/// as the part file's are, given as the double its shortest text reads as, so that a feed written
/// from a part-file speed reads back as the very number the part file states.
double speedOfFeed(double feed);

} // namespace chimex
