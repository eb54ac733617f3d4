// SPDX-License-Identifier: MIT
#include "svg_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace chimex {
namespace {

/// Length of the well-formed UTF-8 sequence at the start of `text`, 0 when there is none.
std::size_t utf8Length(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    const std::size_t length = lead >= 0xF0 && lead <= 0xF4   ? 4
                               : lead >= 0xE0                 ? 3
                               : lead >= 0xC2 && lead <= 0xDF ? 2
                                                              : 0;
    if (length == 0 || text.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    const auto second = static_cast<unsigned char>(text[1]);
    const bool overlong = (lead == 0xE0 && second < 0xA0) || (lead == 0xF0 && second < 0x90);
    const bool surrogate = lead == 0xED && second >= 0xA0;
    const bool beyond = lead == 0xF4 && second >= 0x90;
    return overlong || surrogate || beyond ? 0 : length;
}

} // namespace

std::string svgText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto c = static_cast<unsigned char>(text[0]);
        std::size_t used = 1;
        if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '"') {
            out += "&quot;";
        } else if (c == '\'') {
            out += "&apos;";
        } else if (c < 0x20 || c == 0x7F) {
            out += '?';
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if ((used = utf8Length(text)) > 0) {
            out += text.substr(0, used);
        } else {
            used = 1;
            out += "\xEF\xBF\xBD";
        }
        text.remove_prefix(used);
    }
    return out;
}

std::string svgNumber(double value, int decimals) {
    value = std::isnan(value) ? 0 : std::clamp(value, -1e6, 1e6);
    char text[32];
    const auto end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
    std::string_view number(text, static_cast<std::size_t>(end - text));
    if (number.find('.') != std::string_view::npos) {
        number.remove_suffix(number.size() - 1 - number.find_last_not_of('0'));
        if (number.back() == '.') {
            number.remove_suffix(1);
        }
    }
    return number == "-0" ? "0" : std::string(number);
}

} // namespace chimex
