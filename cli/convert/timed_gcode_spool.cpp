// SPDX-License-Identifier: MIT
#include "timed_gcode_spool.h"

#include "files/failure.h"
#include "machinefile/gcode_writer.h"
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

/// The extents and fastest feeds the timed moves reach, in HeaderItem order.
std::array<double, headerItemCount> headerOf(const std::vector<TimingNote>& notes,
                                             const std::vector<TimedMove>& moves) {
    std::array<double, headerItemCount> header{};
    for (std::size_t i = 0; i < moves.size(); ++i) {
        const auto axis = static_cast<std::size_t>(notes[i].axis);
        header[2 * axis] = std::max(header[2 * axis], moves[i].target);
        header[2 * axis + 1] = std::min(header[2 * axis + 1], moves[i].target);
        double& fastest = header[axis == 2 ? 7 : 6];
        fastest = std::max(fastest, notes[i].feed);
    }
    return header;
}

} // namespace

TimedGcodeSpool::TimedGcodeSpool(const Controller& controller, const MachineLimits& limits,
                                 double startPause)
    : controller_(controller), travel_{limits.MaxX, limits.MaxY, limits.MaxZ},
      startPause_(startPause) {}

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
    const std::vector<TimedMove> moves = timeMoves(notes_, controller_, travel_);
    GcodeWriter writer(out, format);
    writer.writeStart(headerOf(notes_, moves));
    // The start pause and any rest before the first note, as one dwell.
    const double lead = startPause_ + (notes_.empty() ? gap_ : notes_.front().start);
    if (lead >= 0.0005) {
        writer.writeDwell(std::round(lead * 1000) / 1000);
    }
    TimingReport report;
    std::array<double, 3> position{};
    std::optional<RestPlace> place;
    for (std::size_t i = 0; i < moves.size(); ++i) {
        const auto axis = static_cast<std::size_t>(notes_[i].axis);
        if (!(moves[i].target >= 0 && moves[i].target < travel_[axis])) {
            throw Failure("note " + std::to_string(i + 1) +
                          ": its timed move would leave the travel");
        }
        if (moves[i].dwellBefore > 0) {
            writer.writeTimedRest(moves[i].dwellBefore, controller_, place);
        }
        writer.writeMove(static_cast<Axis>(axis), moves[i].target, notes_[i].feed);
        place = RestPlace{static_cast<Axis>(axis), position[axis], moves[i].target};
        position[axis] = moves[i].target;
        if (!moves[i].reachesFeed && report.tooShort++ == 0) {
            report.firstShort = static_cast<long long>(i) + 1;
        }
    }
    writer.writeEnd();
    report.notes = static_cast<long long>(moves.size());
    return report;
}

} // namespace chimex
