// SPDX-License-Identifier: MIT
#include "check_output.h"

#include "partfile/number_text.h"

#include <cmath>
#include <cstdio>

namespace chimex {
namespace {

std::string jsonNumber(double value) {
    return std::isfinite(value) ? shortestText(value) : "null";
}

std::string jsonNumber(float value) {
    return std::isfinite(value) ? shortestText(value) : "null";
}

std::string secondsText(double seconds) {
    if (!std::isfinite(seconds)) {
        return "more than can be counted";
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.3f s", seconds);
    return buffer;
}

bool continuation(std::string_view text, std::size_t at, unsigned char low = 0x80,
                  unsigned char high = 0xBF) {
    if (at >= text.size()) {
        return false;
    }
    const auto u = static_cast<unsigned char>(text[at]);
    return u >= low && u <= high;
}

/// The length of the well-formed UTF-8 sequence of two to four bytes at `at`, or 0.
std::size_t utf8Length(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead >= 0xC2 && lead <= 0xDF) {
        return continuation(text, at + 1) ? 2 : 0;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        // No overlong forms (E0 80..9F) and no surrogates (ED A0..BF).
        const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80;
        const unsigned char high = lead == 0xED ? 0x9F : 0xBF;
        return continuation(text, at + 1, low, high) && continuation(text, at + 2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned char low = lead == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = lead == 0xF4 ? 0x8F : 0xBF;
        return continuation(text, at + 1, low, high) && continuation(text, at + 2) &&
                       continuation(text, at + 3)
                   ? 4
                   : 0;
    }
    return 0;
}

} // namespace

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u == 0x7F) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", u);
            out += buffer;
        } else if (u < 0x80) {
            out += c;
        } else if (const std::size_t length = utf8Length(text, i)) {
            out += text.substr(i, length);
            i += length - 1;
        } else {
            out += "\\ufffd";
        }
    }
    return out + "\"";
}

CheckPrinter::CheckPrinter(std::ostream& out, std::string_view file, bool json)
    : out_(out), file_(file), json_(json) {
    if (json_) {
        out_ << "{\"file\": " << jsonString(file_) << ",\n \"violations\": [";
    }
}

void CheckPrinter::violation(const MoveIssue& v) {
    if (json_) {
        out_ << (printed_ ? ",\n  " : "\n  ") << "{\"line\": " << v.line
             << ", \"message\": " << jsonString(v.message) << "}";
    } else {
        out_ << (v.line > 0 ? "line " + std::to_string(v.line) : std::string("file")) << ": "
             << v.message << "\n";
    }
    ++printed_;
}

void CheckPrinter::finish(const CheckReport& report, const MachineLimits& limits) {
    if (json_) {
        finishJson(report, limits);
    } else {
        finishText(report, limits);
    }
}

void CheckPrinter::finishText(const CheckReport& report, const MachineLimits& limits) {
    out_ << file_ << ": " << report.lines << " lines, " << report.notes.text() << ", "
         << report.pauses << " pauses, running time " << secondsText(report.runningSeconds) << "\n";
    for (const Axis axis : axes) {
        const AxisExtent& extent = report.extents[axisIndex(axis)];
        out_ << "  " << axisLetter(axis) << " from " << shortestText(extent.low) << " to "
             << shortestText(extent.high) << " (limit " << shortestText(axisLimit(limits, axis))
             << ")\n";
    }
    out_ << "  fastest X and Y jog speed " << shortestText(report.fastestXYSpeed) << " (limit "
         << shortestText(limits.MaxXYSpeed) << "), fastest Z jog speed "
         << shortestText(report.fastestZSpeed) << " (limit " << shortestText(limits.MaxZSpeed)
         << ")\n";
    if (report.clean()) {
        out_ << "All checks passed.\n";
    } else {
        out_ << report.violationCount << (report.violationCount == 1 ? " violation" : " violations")
             << " found.\n";
    }
}

void CheckPrinter::finishJson(const CheckReport& report, const MachineLimits& limits) {
    out_ << (printed_ ? "\n ],\n" : "],\n") << " \"ok\": " << (report.clean() ? "true" : "false")
         << ", \"lines\": " << report.lines << ", \"notes\": " << report.notes.notes()
         << ", \"chords\": " << report.notes.chords() << ", \"pauses\": " << report.pauses
         << ", \"runningSeconds\": " << jsonNumber(report.runningSeconds) << ",\n \"extents\": {";
    for (const Axis axis : axes) {
        const AxisExtent& extent = report.extents[axisIndex(axis)];
        out_ << (axis != Axis::X ? ", " : "") << "\"" << axisLetter(axis)
             << "\": {\"min\": " << jsonNumber(extent.low)
             << ", \"max\": " << jsonNumber(extent.high) << "}";
    }
    out_ << "},\n \"fastestSpeeds\": {\"XY\": " << jsonNumber(report.fastestXYSpeed)
         << ", \"Z\": " << jsonNumber(report.fastestZSpeed) << "},\n \"limits\": {";
    for (const SettingKey& key : settingKeys) {
        out_ << (key.field != SettingsField::MaxX ? ", " : "") << "\"" << key.name
             << "\": " << jsonNumber(limitOf(limits, key.field));
    }
    out_ << "}}\n";
}

} // namespace chimex
