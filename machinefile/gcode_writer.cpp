// SPDX-License-Identifier: MIT
#include "gcode_writer.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace chimex {
namespace {

/// A rest move's position carries six decimals, enough for gcodeRestStep.
constexpr int restDecimals = 6;
/// The longest rest move, in seconds: slower than gcodeRestStep over this, LinuxCNC's motion nears
/// the speed it takes for standing still (1e-8 a second).
constexpr double longestRestMove = 10;
/// The feed of the slowest rest move (0.000006 a minute) to nine digits.
constexpr int restFeedDecimals = 15;

} // namespace

double pathFeedPerMinute(double speed) {
    const double scale = std::pow(10.0, gcodeDecimals);
    return std::floor(speed * 60 * scale) / scale;
}

GcodeWriter::GcodeWriter(std::ostream& out, const GcodeFormat& format)
    : out_(out), format_(format) {}

void GcodeWriter::setVelocityLimits(const KlipperVelocityLimit& tune,
                                    const KlipperVelocityLimit& printer) {
    limits_ = {tune, printer};
}

void GcodeWriter::line(std::string_view text) {
    out_ << text << "\r\n";
}

// Every line stays below 80 characters, the longest GRBL takes; the texts hold no parentheses,
// which would nest inside a comment.
void GcodeWriter::comment(std::string_view text) {
    if (commentsAfterSemicolon(format_.dialect)) {
        line("; " + std::string(text));
    } else {
        line("(" + std::string(text) + ")");
    }
}

void GcodeWriter::writeStart(const std::array<double, headerItemCount>& header, int decimals) {
    const bool inch = format_.unit == LengthUnit::Inch;
    comment(std::string(gcodeFirstComment) + std::string(dialectName(format_.dialect)));
    for (const std::string_view text : gcodeWarningTexts) {
        comment(text);
    }
    for (std::size_t i = 0; i < header.size(); ++i) {
        const bool feed = i >= static_cast<std::size_t>(HeaderItem::FastestXY);
        comment(std::string(gcodeHeaderTexts[i]) +
                (feed
                     ? gcodeFeedText(header[i], decimals) + std::string(gcodeFeedUnit(format_.unit))
                     : gcodeNumber(header[i], decimals)));
    }
    for (const std::string& text : timedForTexts(format_.timedFor, format_.unit)) {
        comment(text);
    }
    // Marlin works in millimetres only and knows neither G21 nor G94 unless built to. LinuxCNC
    // blends moves by default, which changes the speeds of the notes: exact path (G61.1) instead.
    if (format_.dialect == GcodeDialect::Klipper) {
        writeKlipperStart(header);
        return;
    }
    if (format_.dialect == GcodeDialect::Marlin) {
        line("G90");
    } else {
        line(std::string(inch ? "G20 G90 G94" : "G21 G90 G94") +
             (format_.dialect == GcodeDialect::LinuxCnc ? " G61.1" : ""));
    }
    for (const std::string_view text : gcodeStopTexts) {
        comment(text);
    }
    line("M0");
    line("G0 X0 Y0 Z0");
}

// Klipper reads one command a line, the rest as its parameters, and has no operator stop: the
// header says how to start it. Its G0 keeps the last feed, so the move to 0, 0, 0 states one no
// axis exceeds.
void GcodeWriter::writeKlipperStart(const std::array<double, headerItemCount>& header) {
    line("G21");
    line("G90");
    for (const std::string_view text : gcodeKlipperStartTexts) {
        comment(text);
    }
    if (limits_) {
        for (const std::string_view text : gcodeKlipperLimitTexts) {
            comment(text);
        }
        line(velocityLimitLine((*limits_)[0]));
    }
    double feed = HUGE_VAL; // the slower axis's fastest, of those the tune moves
    for (const auto item : {HeaderItem::FastestXY, HeaderItem::FastestZ}) {
        const double speed = header[static_cast<std::size_t>(item)];
        feed = speed > 0 ? std::min(feed, speed) : feed;
    }
    const std::string feedWord = feed < HUGE_VAL && pathFeedPerMinute(feed) > 0
                                     ? " F" + gcodeNumber(pathFeedPerMinute(feed))
                                     : "";
    line("G0 X0 Y0 Z0" + feedWord);
}

void GcodeWriter::writeMove(Axis axis, double target, double speed) {
    line(std::string("G1 ") + axisLetter(axis) + gcodeNumber(target) + " F" + gcodeFeedText(speed));
}

void GcodeWriter::writeMove(const std::vector<AxisTarget>& targets, double speed, int decimals) {
    std::string text = "G1";
    for (const AxisTarget& target : targets) {
        text += std::string(" ") + axisLetter(target.axis) + gcodeNumber(target.target, decimals);
    }
    line(text + " F" + gcodeNumber(pathFeedPerMinute(speed)));
}

std::string GcodeWriter::dwellTime(double seconds) const {
    return printerFirmware(format_.dialect) ? gcodeNumber(seconds * 1000, 0)
                                            : gcodeNumber(seconds, 3);
}

// A dwell of no time is left out: it would only stop the machine, since Marlin (and Klipper behind
// it) finish every queued move at each G4, so every note would end in a full stop.
void GcodeWriter::writeDwell(double seconds) {
    const std::string time = dwellTime(seconds);
    if (time != "0") {
        line("G4 P" + time);
    }
}

void GcodeWriter::writeTimedDwell(double seconds) {
    if (dwellTime(seconds) == "0") {
        return;
    }
    if (format_.dialect == GcodeDialect::LinuxCnc) {
        line("G61.1");
    }
    writeDwell(seconds);
}

void GcodeWriter::writeStop() {
    line("G4 P0");
}

// LinuxCNC's task wakes once a cycle to time a dwell, so a dwell ends up to two cycles late; its
// motion runs every period. A move from rest so slow that it reaches its speed within a period
// ends in the period that holds its end plus half a period: asked to last n - 1 periods, it ends in
// the n-th, clear of both edges. Long rests are several such moves, aside and back.
void GcodeWriter::writeTimedRest(double seconds, const Controller& c,
                                 const std::optional<RestPlace>& place) {
    const double periods = c.period > 0 ? std::round((seconds + c.stopDelay) / c.period) : 0;
    if (format_.dialect != GcodeDialect::LinuxCnc || !(c.taskCycle > 0) || !place ||
        !(periods >= 2)) {
        writeTimedDwell(seconds);
        return;
    }
    const double scale = std::pow(10.0, restDecimals);
    const double at = std::round(place->at * scale) / scale;
    // Back towards where the move came from, so that the rest stays within the tune's extents.
    const double aside =
        place->from > at || at < gcodeRestStep ? at + gcodeRestStep : at - gcodeRestStep;
    const double most = std::max(4.0, std::floor(longestRestMove / c.period));
    const auto pieces = static_cast<long long>(std::ceil(periods / most));
    double left = periods;
    for (long long i = 0; i < pieces; ++i) {
        const double piece = std::ceil(left / static_cast<double>(pieces - i));
        left -= piece;
        const double feed = gcodeRestStep * 60 / ((piece - 1) * c.period);
        line(std::string("G1 ") + axisLetter(place->axis) +
             gcodeNumber(i % 2 == 0 ? aside : at, restDecimals) + " F" +
             gcodeNumber(feed, restFeedDecimals));
    }
}

void GcodeWriter::writeEnd() {
    // Marlin has no program end: M2 is unknown to it and M30 deletes a file from the SD card.
    // Klipper knows neither.
    if (limits_ && format_.dialect == GcodeDialect::Klipper) {
        line(velocityLimitLine((*limits_)[1]));
    }
    if (printerFirmware(format_.dialect)) {
        comment(gcodeLastComment);
    } else {
        line("M2");
    }
}

} // namespace chimex
