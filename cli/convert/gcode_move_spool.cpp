// SPDX-License-Identifier: MIT
#include "gcode_move_spool.h"

#include "files/atomic_output_file.h"
#include "files/failure.h"
#include "partfile/number_forms.h"
#include "partfile/part_file_reader.h"

#include <algorithm>
#include <cstring>
#include <istream>

namespace chimex {
namespace {

constexpr std::uint8_t pauseTag = 3; // moves are tagged with their axis index, 0 to 2
constexpr std::size_t entrySize = 1 + 2 * sizeof(double);

/// A text the part-file writer made, as the part-file reader reads it.
double readBack(std::string_view text) {
    return readPartNumber(text).value_or(0);
}

} // namespace

GcodeMoveSpool::GcodeMoveSpool() : file_(std::size_t{1} << 16), out_(&file_) {}

void GcodeMoveSpool::put(std::uint8_t tag, double first, double second) {
    char entry[entrySize];
    entry[0] = static_cast<char>(tag);
    std::memcpy(entry + 1, &first, sizeof first);
    std::memcpy(entry + 1 + sizeof first, &second, sizeof second);
    out_.write(entry, sizeof entry);
}

double GcodeMoveSpool::readSpeed(float speed) {
    const auto known = std::find_if(speeds_.begin(), speeds_.end(),
                                    [speed](const auto& s) { return s.first == speed; });
    if (known != speeds_.end()) {
        return known->second;
    }
    speeds_.emplace_back(speed, readBack(plainText(speed).view()));
    return speeds_.back().second;
}

void GcodeMoveSpool::pause(float seconds) {
    put(pauseTag, readBack(oneDecimalText(seconds).view()), 0);
}

void GcodeMoveSpool::move(Axis axis, float speed, float, float, const ShortText& positionText) {
    const double target = readBack(positionText.view());
    const double jogSpeed = readSpeed(speed);
    const auto index = axisIndex(axis);
    header_[2 * index] = std::max(header_[2 * index], target);
    header_[2 * index + 1] = std::min(header_[2 * index + 1], target);
    double& fastest = header_[axis == Axis::Z ? 7 : 6];
    fastest = std::max(fastest, jogSpeed);
    ++notes_;
    put(static_cast<std::uint8_t>(index), target, jogSpeed);
}

long long GcodeMoveSpool::writeGcode(std::ostream& out, const GcodeFormat& format) {
    if (!out_.flush()) {
        throw Failure("Cannot write the moves to a scratch file: " + systemReason());
    }
    file_.rewind();
    std::istream in(&file_);
    GcodeWriter writer(out, format);
    writer.writeStart(header_);
    writer.writeDwell(startPauseSeconds);
    char entry[entrySize];
    while (in.read(entry, sizeof entry)) {
        double first = 0;
        double second = 0;
        std::memcpy(&first, entry + 1, sizeof first);
        std::memcpy(&second, entry + 1 + sizeof first, sizeof second);
        const auto tag = static_cast<std::uint8_t>(entry[0]);
        if (tag == pauseTag) {
            writer.writeDwell(first);
        } else {
            writer.writeMove(static_cast<Axis>(tag), first, second);
        }
    }
    writer.writeEnd();
    return notes_;
}

} // namespace chimex
