// SPDX-License-Identifier: MIT
#pragma once

#include <iosfwd>
#include <string_view>

namespace chimex {

enum class Axis { X, Y, Z };

/// The values the header and start sequence show.
struct HeaderValues {
    float HighX = 0;
    float HighY = 0;
    float HighZ = 0;
    float LowX = 0;
    float LowY = 0;
    float LowZ = 0;
    float TopXYSpeed = 0;
    float TopZSpeed = 0;
};

/// Number of lines writeHeader() writes (header, start sequence, the blank before the journal).
inline constexpr int headerLineCount = 32;
/// Number of lines writeFooter() writes.
inline constexpr int footerLineCount = 4;

/// Writes the text followed by CR LF, nothing added. The stream should be opened in binary mode.
void writeLine(std::ostream& out, std::string_view text);

/// The four-line move block: blank, speed line, duration comment, jog line with the new position.
void writeMoveBlock(std::ostream& out, Axis axis, float noteSpeed, float noteDuration,
                    float position);

/// "PAUSE, " and the gap in the one-decimal form.
void writePauseLine(std::ostream& out, float pauseLength);

/// Lines 1 to 32 of the finished part file.
void writeHeader(std::ostream& out, const HeaderValues& values);

/// The blank line and the three lines that restore the machine's jog speeds.
void writeFooter(std::ostream& out);

} // namespace chimex
