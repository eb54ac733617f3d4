// SPDX-License-Identifier: MIT
#pragma once

#include "partfile/axis.h"
#include "partfile/short_text.h"

#include <array>
#include <iosfwd>
#include <string_view>

namespace chimex {

/// The values the header comments of a part file state, in the order of headerTexts.
enum class HeaderItem { MaxX, MinX, MaxY, MinY, MaxZ, MinZ, FastestXY, FastestZ };
inline constexpr int headerItemCount = 8;

/// The header comments up to the value they state, as written and as read back.
inline constexpr std::array<std::string_view, headerItemCount> headerTexts = {
    "' Maximum X-axis value for this file is ", "' Minimum X-axis value for this file is ",
    "' Maximum Y-axis value for this file is ", "' Minimum Y-axis value for this file is ",
    "' Maximum Z-axis value for this file is ", "' Minimum Z-axis value for this file is ",
    "' Fastest X and Y axis jog speed is ",     "' Fastest Z-axis jog speed is ",
};

/// The command words of the lines a part file is made of.
inline constexpr std::string_view speedCommand = "JS,";
inline constexpr std::string_view jogCommand = "J3,";
inline constexpr std::string_view pauseCommand = "PAUSE";

/// Seconds of the pause after the start sequence's move to 0, 0, 0 ("PAUSE 2").
inline constexpr int startPauseSeconds = 2;

/// The footer's two lines that restore the machine's jog speeds, the last lines of a finished part
/// file; as written, each ends in a blank.
inline constexpr std::array<std::string_view, 2> restoreLines = {"JS,&oldJogXYSpeed ",
                                                                 "JS,,&oldJogZSpeed "};

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

/// The first line of every finished part file; a journal never begins with it.
inline constexpr const char* finishedFirstLine = "' file created by Gantrix Chimex software";

/// Writes the text followed by CR LF, nothing added. The stream should be opened in binary mode.
void writeLine(std::ostream& out, std::string_view text);

/// The four-line move block: blank, speed line, duration comment, jog line with the new position.
void writeMoveBlock(std::ostream& out, Axis axis, float noteSpeed, float noteDuration,
                    float position);
/// The same with the position already in the three-decimal form.
void writeMoveBlock(std::ostream& out, Axis axis, float noteSpeed, float noteDuration,
                    const ShortText& position);

/// "PAUSE, " and the gap in the one-decimal form.
void writePauseLine(std::ostream& out, float pauseLength);

/// Lines 1 to 32 of the finished part file.
void writeHeader(std::ostream& out, const HeaderValues& values);

/// The blank line and the three lines that restore the machine's jog speeds.
void writeFooter(std::ostream& out);

} // namespace chimex
