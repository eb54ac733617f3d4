// SPDX-License-Identifier: MIT
#include "gcode_format.h"

#include <charconv>

namespace chimex {

std::optional<GcodeDialect> dialectNamed(std::string_view name) {
    if (name == "grbl") {
        return GcodeDialect::Grbl;
    }
    if (name == "linuxcnc") {
        return GcodeDialect::LinuxCnc;
    }
    if (name == "marlin") {
        return GcodeDialect::Marlin;
    }
    return std::nullopt;
}

std::string_view dialectName(GcodeDialect dialect) {
    switch (dialect) {
    case GcodeDialect::Grbl:
        return "GRBL";
    case GcodeDialect::LinuxCnc:
        return "LinuxCNC";
    case GcodeDialect::Marlin:
        return "Marlin";
    }
    return "";
}

std::string gcodeNumber(double value, int decimals) {
    char buffer[400]; // the largest double has 309 digits before the point
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals)
            .ptr;
    std::string text(buffer, end);
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') {
            text.pop_back();
        }
    }
    return text == "-0" ? "0" : text;
}

double speedOfFeed(double feed) {
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, static_cast<float>(feed / 60)).ptr;
    double speed = 0;
    std::from_chars(text, end, speed);
    return speed;
}

} // namespace chimex
