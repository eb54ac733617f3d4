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

/// A comment as the writer writes it.
struct WrittenComment {
    enum class Kind { First, Notice, HeaderValue, Last };
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
