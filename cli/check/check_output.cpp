// SPDX-License-Identifier: MIT
#include "check_output.h"

#include "cli/common/number_text.h"

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

} // namespace

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u >= 0x7F) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", u);
            out += buffer;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void printCheckReport(std::ostream& out, std::string_view file, const CheckReport& report,
                      const MachineLimits& limits) {
    out << file << ": " << report.lines << " lines, " << report.notes << " notes, " << report.pauses
        << " pauses, running time " << secondsText(report.runningSeconds) << "\n";
    for (const Axis axis : axes) {
        const AxisExtent& extent = report.extents[axisIndex(axis)];
        out << "  " << axisLetter(axis) << " from " << shortestText(extent.low) << " to "
            << shortestText(extent.high) << " (limit " << shortestText(axisLimit(limits, axis))
            << ")\n";
    }
    out << "  fastest X and Y jog speed " << shortestText(report.fastestXYSpeed) << " (limit "
        << shortestText(limits.MaxXYSpeed) << "), fastest Z jog speed "
        << shortestText(report.fastestZSpeed) << " (limit " << shortestText(limits.MaxZSpeed)
        << ")\n";
    for (const PartIssue& v : report.violations) {
        out << (v.line > 0 ? "line " + std::to_string(v.line) : std::string("file")) << ": "
            << v.message << "\n";
    }
    if (report.clean()) {
        out << "All checks passed.\n";
    } else {
        out << report.violations.size()
            << (report.violations.size() == 1 ? " violation" : " violations") << " found.\n";
    }
}

void printCheckJson(std::ostream& out, std::string_view file, const CheckReport& report,
                    const MachineLimits& limits) {
    out << "{\"file\": " << jsonString(file) << ", \"ok\": " << (report.clean() ? "true" : "false")
        << ", \"lines\": " << report.lines << ", \"notes\": " << report.notes
        << ", \"pauses\": " << report.pauses
        << ", \"runningSeconds\": " << jsonNumber(report.runningSeconds) << ",\n \"extents\": {";
    for (const Axis axis : axes) {
        const AxisExtent& extent = report.extents[axisIndex(axis)];
        out << (axis != Axis::X ? ", " : "") << "\"" << axisLetter(axis)
            << "\": {\"min\": " << jsonNumber(extent.low)
            << ", \"max\": " << jsonNumber(extent.high) << "}";
    }
    out << "},\n \"fastestSpeeds\": {\"XY\": " << jsonNumber(report.fastestXYSpeed)
        << ", \"Z\": " << jsonNumber(report.fastestZSpeed)
        << "},\n \"limits\": {\"MaxX\": " << jsonNumber(limits.MaxX)
        << ", \"MaxY\": " << jsonNumber(limits.MaxY) << ", \"MaxZ\": " << jsonNumber(limits.MaxZ)
        << ", \"MaxXYSpeed\": " << jsonNumber(limits.MaxXYSpeed)
        << ", \"MaxZSpeed\": " << jsonNumber(limits.MaxZSpeed) << "},\n \"violations\": [";
    for (std::size_t i = 0; i < report.violations.size(); ++i) {
        out << (i ? ",\n  " : "\n  ") << "{\"line\": " << report.violations[i].line
            << ", \"message\": " << jsonString(report.violations[i].message) << "}";
    }
    out << (report.violations.empty() ? "]}\n" : "\n ]}\n");
}

} // namespace chimex
