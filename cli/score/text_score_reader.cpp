// SPDX-License-Identifier: MIT
#include "text_score_reader.h"

#include "core/note_capture.h"
#include "files/failure.h"
#include "partfile/line_reader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>

namespace chimex {
namespace {

[[noreturn]] void fail(long long line, const std::string& what) {
    throw InputFailure({}, line, what);
}

/// The text in quotes, cut at 40 bytes, with control and non-ASCII bytes as \xNN: a NUL would end
/// the message early.
std::string quoted(std::string_view text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string shown = "\"";
    for (const char c : text.substr(0, 40)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F) {
            shown += {'\\', 'x', hex[byte >> 4], hex[byte & 0xF]};
        } else {
            shown += c;
        }
    }
    return shown + (text.size() > 40 ? "...\"" : "\"");
}

/// UTF-16 text begins with the byte-order mark FF FE or FE FF.
bool looksLikeUtf16(std::string_view line) {
    return line.starts_with("\xFF\xFE") || line.starts_with("\xFE\xFF");
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

/// Splits at blanks and tabs; returns how many fields there are (more than three are not kept).
std::size_t splitFields(std::string_view text, std::array<std::string_view, 3>& fields) {
    std::size_t count = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isBlank(text[i])) {
            ++i;
        }
        const std::size_t start = i;
        while (i < text.size() && !isBlank(text[i])) {
            ++i;
        }
        if (i > start) {
            if (count < fields.size()) {
                fields[count] = text.substr(start, i - start);
            }
            ++count;
        }
    }
    return count;
}

/// The characters a number of seconds may be written with.
bool isNumberCharacter(char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-';
}

int readKey(std::string_view text, long long line) {
    int key = -1;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), key);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || key < 0 ||
        key >= keyCount || text.front() == '-') {
        fail(line, "the key must be a whole number from 0 to 36, not " + quoted(text));
    }
    return key;
}

double readSeconds(std::string_view text, long long line, const char* name) {
    double value = -1;
    const bool digitsOnly = std::all_of(text.begin(), text.end(), isNumberCharacter);
    const auto result =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (!digitsOnly || result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        !std::isfinite(value)) {
        fail(line,
             std::string("the ") + name + " must be a number of seconds, not " + quoted(text));
    }
    if (value < 0 || value >= longestScoreTime) {
        fail(line, std::string("the ") + name +
                       " must be at least 0 and less than 86400 seconds, not " + quoted(text));
    }
    return value;
}

} // namespace

TextScoreReader::TextScoreReader(std::istream& in) : lines_(in) {}

std::optional<ScoreNote> TextScoreReader::next() {
    std::string_view line;
    while (lines_.next(line)) {
        const long long number = lines_.lineNumber();
        if (number == 1 && line.starts_with(byteOrderMark)) {
            line.remove_prefix(byteOrderMark.size());
        }
        if (number == 1 && looksLikeUtf16(line)) {
            fail(number, "the score is UTF-16 text; save it as ASCII or UTF-8 text");
        }
        line = line.substr(0, line.find('#'));
        std::array<std::string_view, 3> fields;
        const std::size_t count = splitFields(line, fields);
        if (count == 0) {
            continue;
        }
        if (count == 1) {
            fail(number, "the hold time is missing (expected KEY HOLD [GAP])");
        }
        if (count > 3) {
            fail(number, "too many fields (expected KEY HOLD [GAP])");
        }
        ScoreNote note;
        note.key = readKey(fields[0], number);
        note.hold = readSeconds(fields[1], number, "hold time");
        note.gap = count == 3 ? readSeconds(fields[2], number, "gap") : 0.0;
        return note;
    }
    return std::nullopt;
}

} // namespace chimex
