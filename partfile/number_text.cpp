// SPDX-License-Identifier: MIT
#include "number_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace chimex {

std::string shortestText(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string shortestText(float value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string durationText(double seconds) {
    char text[64];
    if (!(seconds < 1e12)) {
        std::snprintf(text, sizeof text, "%.4g s", seconds);
        return text;
    }
    if (seconds < 60) {
        std::snprintf(text, sizeof text, "%.1f s", seconds);
        return text;
    }
    const auto tenths = std::llround(seconds * 10);
    const long long whole = tenths / 10;
    if (seconds < 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld.%lld", whole / 60, whole % 60, tenths % 10);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    }
    return text;
}

} // namespace chimex
