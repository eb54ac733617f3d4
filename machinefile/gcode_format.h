// SPDX-License-Identifier: MIT
#pragma once

#include "machinefile/timed_for.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace chimex {

/// The controllers whose G-code chimex-cli writes.
enum class GcodeDialect { Grbl, LinuxCnc, Marlin, Klipper };

struct GcodeFormat {
    GcodeDialect dialect = GcodeDialect::LinuxCnc;
    LengthUnit unit = LengthUnit::Millimetre;
    /// The machine the file states it was timed for (stated only for a file rendered for one).
    TimedFor timedFor{};
};

/// "grbl", "linuxcnc", "marlin" or "klipper" as typed on the command line.
std::optional<GcodeDialect> dialectNamed(std::string_view name);
/// "GRBL", "LinuxCNC", "Marlin" or "Klipper".
std::string_view dialectName(GcodeDialect dialect);

/// Whether the dialect's comments follow ';' (Marlin's and Klipper's), not in parentheses.
bool commentsAfterSemicolon(GcodeDialect dialect);
/// Whether it takes dwells in milliseconds and has no program end (Marlin and Klipper).
bool printerFirmware(GcodeDialect dialect);
/// The first comment of every file chimex-cli writes, followed by the dialect's name: it tells a
/// reader the dwell unit, which Marlin and Klipper take in milliseconds and the others in seconds.
inline constexpr std::string_view gcodeFirstComment =
    "file created by Gantrix Chimex software, G-code for ";

/// The comments after the first, before the header values.
inline constexpr std::array<std::string_view, 6> gcodeWarningTexts = {
    "User takes responsibility for the effects and outcomes",
    "of the use of this program.",
    "The machine will begin by moving to the 0,0,0 point, pause for",
    "2 seconds, and then start moving to play the song.",
    "Read the values below and make sure that your machine can",
    "safely move within that range.",
};

/// The comments between the setup line and the operator stop (M0).
inline constexpr std::array<std::string_view, 2> gcodeStopTexts = {
    "Check the extents above, then resume to move to 0, 0, 0",
    "and start the song, or stop the program to cancel.",
};

/// The comments between the setup lines and the move to 0, 0, 0 of a file for Klipper, which
/// has no operator stop; a timed file then sets the limits it was timed for.
inline constexpr std::array<std::string_view, 3> gcodeKlipperStartTexts = {
    "Klipper has no M0: the file runs straight through. Home the",
    "printer - G28 - and check the extents above before you print it,",
    "then start it as you start any print.",
};
inline constexpr std::array<std::string_view, 4> gcodeKlipperLimitTexts = {
    "The first SET_VELOCITY_LIMIT sets the acceleration and square",
    "corner velocity the tune was timed for; the last one sets them",
    "back to these, and MINIMUM_CRUISE_RATIO to Klipper's default 0.5:",
    "change it to your printer's values if they differ.",
};

/// The limits a SET_VELOCITY_LIMIT line sets: mm/s², mm/s and a ratio.
struct KlipperVelocityLimit {
    double accel = 0;
    double squareCornerVelocity = 0;
    double minimumCruiseRatio = 0;
};

/// Klipper's own minimum cruise ratio, restored at the end of a timed file.
inline constexpr double klipperDefaultCruiseRatio = 0.5;

inline constexpr std::string_view velocityLimitCommand = "SET_VELOCITY_LIMIT";

/// The SET_VELOCITY_LIMIT line as the writer writes it.
std::string velocityLimitLine(const KlipperVelocityLimit& limit);
/// The limits of a line as velocityLimitLine writes it (any numbers), or nothing.
std::optional<KlipperVelocityLimit> readVelocityLimitLine(std::string_view line);

/// The last comment of a file written for Marlin or Klipper, which have no program end.
inline constexpr std::string_view gcodeLastComment = "End of the song.";

/// The header comments that state the extents and fastest feeds, in the order of HeaderItem;
/// each is followed by a number (and, for the feeds, " mm/min" or " in/min").
inline constexpr std::array<std::string_view, 8> gcodeHeaderTexts = {
    "Maximum X-axis value for this file is ", "Minimum X-axis value for this file is ",
    "Maximum Y-axis value for this file is ", "Minimum Y-axis value for this file is ",
    "Maximum Z-axis value for this file is ", "Minimum Z-axis value for this file is ",
    "Fastest X and Y axis feed is ",          "Fastest Z-axis feed is ",
};

/// A comment as the writer writes it.
struct WrittenComment {
    enum class Kind { First, Notice, HeaderValue, Last, TimedFor };
    Kind kind = Kind::Notice;
    GcodeDialect dialect = GcodeDialect::Grbl; ///< First: the controller it names
    std::size_t item = 0;                      ///< HeaderValue: its place in gcodeHeaderTexts
    std::string_view number;                   ///< HeaderValue: the number as written
};

/// The comment `text` (without its delimiters and outer blanks) as one the writer writes, in any
/// of its dialects and units, or nothing for any other text.
std::optional<WrittenComment> writtenComment(std::string_view text);

/// Why a controller of `dialect` would read `line` (without its line end) otherwise than as
/// chimex-cli writes it, character by character, or nothing: a carriage return inside it,
/// which LinuxCNC reads past; a byte outside printable ASCII; GRBL's real-time characters,
/// which it acts on wherever they stand, comments included.
std::optional<std::string> characterProblem(std::string_view line, GcodeDialect dialect);

/// What follows the number of a header feed.
constexpr std::string_view gcodeFeedUnit(LengthUnit unit) {
    return unit == LengthUnit::Inch ? " in/min" : " mm/min";
}

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

/// A speed (length units a second) as a feed per minute, rounded to `decimals`.
std::string gcodeFeedText(double speed, int decimals = gcodeDecimals);

/// A speed (length units a second) as a G1 of one axis writes it and a reader reads it back.
double speedAsWritten(double speed);

} // namespace chimex
