// SPDX-License-Identifier: MIT
#include "line_texts.h"

#include "number_forms.h"

#include <initializer_list>
#include <ostream>
#include <string>

namespace chimex {

void writeLine(std::ostream& out, std::string_view text) {
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.write("\r\n", 2);
}

namespace {

/// Appends the parts and the CR LF that ends the line.
void appendLine(ShortText& lines, std::initializer_list<std::string_view> parts) {
    for (const std::string_view part : parts) {
        lines.append(part);
    }
    lines.append("\r\n");
}

void write(std::ostream& out, const ShortText& lines) {
    out.write(lines.view().data(), static_cast<std::streamsize>(lines.view().size()));
}

} // namespace

// The block is built in place and written in one call: it is the bulk of a long render.
void writeMoveBlock(std::ostream& out, Axis axis, float noteSpeed, float noteDuration,
                    float position) {
    writeMoveBlock(out, axis, noteSpeed, noteDuration, threeDecimalText(position));
}

void writeMoveBlock(std::ostream& out, Axis axis, float noteSpeed, float noteDuration,
                    const ShortText& position) {
    // One comma after the command word per axis before the one that moves (Z's speed is JS's
    // second argument).
    const std::string_view commas = ",, ";
    const std::string_view jogCommas = commas.substr(2 - axisIndex(axis));
    const std::string_view speedCommas = commas.substr(axis == Axis::Z ? 1 : 2);
    ShortText block;
    appendLine(block, {});
    appendLine(block, {speedCommand, speedCommas, plainText(noteSpeed).view()});
    appendLine(block, {"' note duration = ", plainText(noteDuration).view()});
    appendLine(block, {jogCommand, jogCommas, position.view()});
    write(out, block);
}

void writePauseLine(std::ostream& out, float pauseLength) {
    ShortText line;
    appendLine(line, {pauseCommand, ", ", oneDecimalText(pauseLength).view()});
    write(out, line);
}

namespace {

void writeHeaderValue(std::ostream& out, HeaderItem item, float value) {
    writeLine(out, std::string(headerTexts[static_cast<std::size_t>(item)]) + plainForm(value));
}

void writeAxisRange(std::ostream& out, HeaderItem maximum, float high, float low) {
    writeHeaderValue(out, maximum, high);
    writeHeaderValue(out, static_cast<HeaderItem>(static_cast<int>(maximum) + 1), low);
    writeLine(out, "");
}

std::string confirmationPrompt(const HeaderValues& v) {
    return "INPUT \"Type (Y) to move to " + plainForm(v.LowX) + ", " + plainForm(v.LowY) + ", " +
           plainForm(v.LowZ) + " to start the song, or any other key to cancel.\" &letsgo";
}

} // namespace

void writeHeader(std::ostream& out, const HeaderValues& v) {
    writeLine(out, finishedFirstLine);
    writeLine(out, "' Chimex Vedadazu 1.0.0.0");
    writeLine(out, "' User takes responsibility for the effects and outcomes of the use of this "
                   "program.");
    writeLine(out, "");
    writeLine(out,
              "' Your Gantrix will begin by moving to the 0,0,0 point, pause for 2 seconds, and "
              "then start moving to play the song.");
    writeLine(out, "");
    writeLine(out, "' Read the values below and make sure that your Gantrix can safely move within "
                   "that range.");
    writeLine(out, "");
    writeAxisRange(out, HeaderItem::MaxX, v.HighX, v.LowX);
    writeAxisRange(out, HeaderItem::MaxY, v.HighY, v.LowY);
    writeAxisRange(out, HeaderItem::MaxZ, v.HighZ, v.LowZ);
    writeHeaderValue(out, HeaderItem::FastestXY, v.TopXYSpeed);
    writeHeaderValue(out, HeaderItem::FastestZ, v.TopZSpeed);
    writeLine(out, "");
    writeLine(out, "");
    writeLine(out, confirmationPrompt(v));
    writeLine(out, "IF &letsgo <> Y THEN END ");
    writeLine(out, "");
    writeLine(out,
              "J3, " + plainForm(v.LowX) + ", " + plainForm(v.LowY) + ", " + plainForm(v.LowZ));
    writeLine(out, "");
    writeLine(out, "' Save the current Jog Speeds...");
    writeLine(out, "&oldJogXYSpeed = %(76)");
    writeLine(out, "&oldJogZSpeed = %(78)");
    writeLine(out, "");
    writeLine(out, std::string(pauseCommand) + ' ' + std::to_string(startPauseSeconds));
    writeLine(out, "");
}

void writeFooter(std::ostream& out) {
    writeLine(out, "");
    writeLine(out, "' Finally restore the original settings");
    writeLine(out, restoreLines[0]);
    writeLine(out, restoreLines[1]);
}

} // namespace chimex
