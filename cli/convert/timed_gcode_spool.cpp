// SPDX-License-Identifier: MIT
#include "timed_gcode_spool.h"

#include "cli/common/motion_options.h"
#include "files/failure.h"
#include "machinefile/gcode_writer.h"
#include "motion/grbl_exact.h"
#include "partfile/number_forms.h"
#include "partfile/part_file_reader.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

namespace chimex {
namespace {

double readBack(std::string_view text) {
    return readPartNumber(text).value_or(0);
}

/// The axis a timed note moves: its own unless the timing played it on another.
std::size_t axisOf(const std::vector<TimingNote>& notes, const std::vector<TimedMove>& moves,
                   std::size_t i) {
    return static_cast<std::size_t>(moves[i].axis >= 0 ? moves[i].axis : notes[i].axis);
}

/// The extents and fastest feeds the timed moves written reach, in HeaderItem order.
std::array<double, headerItemCount> headerOf(const std::vector<TimingNote>& notes,
                                             const std::vector<TimedMove>& moves) {
    std::array<double, headerItemCount> header{};
    for (std::size_t i = 0; i < moves.size() && !moves[i].noRoom; ++i) {
        if (moves[i].silence != Silence::None) {
            continue;
        }
        const std::size_t axis = axisOf(notes, moves, i);
        header[2 * axis] = std::max(header[2 * axis], moves[i].target);
        header[2 * axis + 1] = std::min(header[2 * axis + 1], moves[i].target);
        double& fastest = header[axis == 2 ? 7 : 6];
        fastest = std::max(fastest, moves[i].feed > 0 ? moves[i].feed : notes[i].feed);
    }
    return header;
}

} // namespace

TimedGcodeSpool::TimedGcodeSpool(const Controller& controller, const MachineLimits& limits,
                                 double startPause)
    : controller_(controller), travel_{limits.MaxX, limits.MaxY, limits.MaxZ},
      fastest_{limits.MaxXYSpeed, limits.MaxXYSpeed, limits.MaxZSpeed}, startPause_(startPause) {}

void TimedGcodeSpool::pause(float seconds) {
    addRest(seconds);
}

void TimedGcodeSpool::move(Axis axis, float speed, float duration, float,
                           const ShortText& positionText) {
    addNote(axis, readBack(positionText.view()), readBack(plainText(speed).view()), duration);
}

void TimedGcodeSpool::addRest(double seconds) {
    gap_ += std::max(0.0, seconds);
}

void TimedGcodeSpool::addNote(Axis axis, double target, double speed, double hold) {
    const auto index = axisIndex(axis);
    TimingNote note;
    note.axis = static_cast<int>(index);
    note.direction = target >= position_[index] ? 1 : -1;
    note.feed = speed;
    note.start = clock_ + gap_;
    note.hold = hold;
    notes_.push_back(note);
    position_[index] = target;
    clock_ = note.start + hold;
    gap_ = 0;
}

TimingReport TimedGcodeSpool::writeGcode(std::ostream& out, const GcodeFormat& format) const {
    std::optional<std::vector<TimedMove>> exact =
        timeGrblMoves(notes_, controller_, travel_, fastest_);
    const std::vector<TimedMove> moves =
        exact ? std::move(*exact) : timeMoves(notes_, controller_, travel_);
    GcodeWriter writer(out, format);
    setTimedLimits(writer, controller_);
    writer.writeStart(headerOf(notes_, moves));
    // The start pause and any rest before the first note, as one dwell.
    const double lead = startPause_ + (notes_.empty() ? gap_ : notes_.front().start);
    if (lead >= 0.0005) {
        writer.writeDwell(std::round(lead * 1000) / 1000);
    }
    TimingReport report;
    std::array<double, 3> position{};
    std::optional<RestPlace> place; // where the machine stands at a rest: none before any note
    for (std::size_t i = 0; i < moves.size() && !moves[i].noRoom; ++i) {
        const TimedMove& move = moves[i];
        const std::size_t axis = axisOf(notes_, moves, i);
        if (move.dwellBefore > 0) {
            writer.writeTimedRest(move.dwellBefore, controller_, place);
        } else if (move.stopBefore) {
            writer.writeStop();
        }
        if (move.silence == Silence::None) {
            if (!(move.target > 0 && move.target < travel_[axis])) {
                throw Failure("note " + std::to_string(i + 1) +
                              ": its timed move would leave the travel");
            }
            writer.writeMove(static_cast<Axis>(axis), move.target,
                             move.feed > 0 ? move.feed : notes_[i].feed);
            place = RestPlace{static_cast<Axis>(axis), position[axis], move.target};
            position[axis] = move.target;
        }
        if (move.dwellAfter > 0) {
            writer.writeTimedRest(move.dwellAfter, controller_, place);
        }
        tally(report, static_cast<long long>(i) + 1, move.silence, move.reachesFeed,
              move.startsOff);
    }
    writer.writeEnd();
    report.noRoom = report.played < static_cast<long long>(moves.size());
    return report;
}

void tally(TimingReport& report, long long number, Silence silence, bool reachesFeed,
           double startsOff) {
    ++report.played;
    if (silence != Silence::None) {
        report.firstSilent = report.silent++ == 0 ? number : report.firstSilent;
        report.silentForRamps += silence == Silence::TooShortForRamps ? 1 : 0;
        return;
    }
    ++report.notes;
    if (!reachesFeed && report.tooShort++ == 0) {
        report.firstShort = number;
    }
    if (startsOff != 0) {
        report.firstOff = report.offTime++ == 0 ? number : report.firstOff;
        report.mostOff = std::max(report.mostOff, std::abs(startsOff));
    }
}

void refuseUselessAcceleration(const TimingReport& report, const Options& options) {
    if (report.notes > 0 || report.silentForRamps == 0) {
        return;
    }
    std::string named = "--accel " + options.values.at("--accel");
    if (options.values.count("--z-accel")) {
        named += " with --z-accel " + options.values.at("--z-accel");
    }
    throw UsageError(named + " is too low for this score: its ramps leave no note time to move "
                             "one whole step");
}

void printTimingReport(const TimingReport& report, const std::string& note, std::ostream& err) {
    if (report.tooShort > 0) {
        err << report.tooShort << " " << note
            << "s too short to reach their pitch keep their time without it (the first: " << note
            << " " << report.firstShort << ")\n";
    }
    if (report.silent > 0) {
        err << report.silent << " " << note
            << "s too short to sound (no whole step in their time) keep their time as rests (the "
               "first: "
            << note << " " << report.firstSilent << ")\n";
    }
    if (report.offTime > 0) {
        err << report.offTime << " " << note
            << "s start more than half a step off the score's time, by up to "
            << std::ceil(report.mostOff * 1000) << " ms (the first: " << note << " "
            << report.firstOff << ")\n";
    }
}

} // namespace chimex
