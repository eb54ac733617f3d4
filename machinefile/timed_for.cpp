// SPDX-License-Identifier: MIT
#include "timed_for.h"

#include "machinefile/gcode_format.h"
#include "partfile/part_file_reader.h"

#include <cctype>

namespace chimex {
namespace {

/// The forms, '#' standing for a number and '@' for the length unit ("mm" or "in").
constexpr std::string_view stepsForm = "Timed for steps/@ X #, Y #, Z #";
constexpr std::string_view accelForm = "Timed for acceleration X and Y #, Z # @/s^2";
constexpr std::string_view junctionForm = "Timed for junction deviation # @";
constexpr std::string_view cornerForm = "Timed for square corner velocity # @/s";
constexpr std::string_view exactStopForm = "Timed for exact stop, servo period # s";
constexpr std::string_view exactStopCycleForm =
    "Timed for exact stop, servo period # s, task cycle # s";
constexpr std::string_view stopDelayForm = "Timed for step idle delay # s";

std::string filled(std::string_view form, const std::vector<double>& numbers, LengthUnit unit) {
    std::string text;
    std::size_t next = 0;
    for (const char c : form) {
        if (c == '#') {
            text += timedForNumber(numbers[next++]);
        } else if (c == '@') {
            text += unit == LengthUnit::Inch ? "in" : "mm";
        } else {
            text += c;
        }
    }
    return text;
}

/// The numbers of `text` when it has the form `form`, or nothing.
std::optional<std::vector<double>> matched(std::string_view text, std::string_view form) {
    std::vector<double> numbers;
    for (const char c : form) {
        if (c == '@') {
            if (!text.starts_with("mm") && !text.starts_with("in")) {
                return std::nullopt;
            }
            text.remove_prefix(2);
        } else if (c == '#') {
            std::size_t end = 0;
            while (end < text.size() && (std::isdigit(static_cast<unsigned char>(text[end])) ||
                                         text[end] == '.' || text[end] == '-')) {
                ++end;
            }
            const auto value = readPartNumber(text.substr(0, end));
            if (end == 0 || !value) {
                return std::nullopt;
            }
            numbers.push_back(*value);
            text.remove_prefix(end);
        } else if (!text.starts_with(c)) {
            return std::nullopt;
        } else {
            text.remove_prefix(1);
        }
    }
    return text.empty() ? std::optional(numbers) : std::nullopt;
}

} // namespace

std::string timedForNumber(double value) {
    // Six decimals keep a junction deviation in inches; no stated value needs more.
    return gcodeNumber(value, 6);
}

std::vector<std::string> timedForTexts(const TimedFor& t, LengthUnit unit) {
    std::vector<std::string> texts;
    if (const auto& s = t.stepsPerUnit) {
        texts.push_back(filled(stepsForm, {(*s)[0], (*s)[1], (*s)[2]}, unit));
    }
    if (t.accel) {
        texts.push_back(filled(accelForm, {(*t.accel)[0], (*t.accel)[1]}, unit));
    }
    if (t.junctionDeviation) {
        texts.push_back(filled(junctionForm, {*t.junctionDeviation}, unit));
    }
    if (t.squareCornerVelocity) {
        texts.push_back(filled(cornerForm, {*t.squareCornerVelocity}, unit));
    }
    if (const auto& e = t.exactStop) {
        texts.push_back((*e)[1] > 0 ? filled(exactStopCycleForm, {(*e)[0], (*e)[1]}, unit)
                                    : filled(exactStopForm, {(*e)[0]}, unit));
    }
    if (t.stopDelay) {
        texts.push_back(filled(stopDelayForm, {*t.stopDelay}, unit));
    }
    return texts;
}

bool readTimedForText(std::string_view text, TimedFor& t) {
    if (const auto n = matched(text, stepsForm)) {
        t.stepsPerUnit = {(*n)[0], (*n)[1], (*n)[2]};
    } else if (const auto a = matched(text, accelForm)) {
        t.accel = {(*a)[0], (*a)[1]};
    } else if (const auto j = matched(text, junctionForm)) {
        t.junctionDeviation = (*j)[0];
    } else if (const auto v = matched(text, cornerForm)) {
        t.squareCornerVelocity = (*v)[0];
    } else if (const auto e = matched(text, exactStopCycleForm)) {
        t.exactStop = {(*e)[0], (*e)[1]};
    } else if (const auto p = matched(text, exactStopForm)) {
        t.exactStop = {(*p)[0], 0.0};
    } else if (const auto d = matched(text, stopDelayForm)) {
        t.stopDelay = (*d)[0];
    } else {
        return false;
    }
    return true;
}

} // namespace chimex
