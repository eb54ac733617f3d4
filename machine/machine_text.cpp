// SPDX-License-Identifier: MIT
#include "machine_text.h"

#include "files/failure.h"
#include "partfile/line_reader.h"
#include "partfile/move_event_reader.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace chimex {

namespace {

/// The text without a leading '+', which from_chars does not take; nothing for a sign twice.
std::optional<std::string_view> withoutPlus(std::string_view text) {
    if (!text.starts_with('+')) {
        return text;
    }
    text.remove_prefix(1);
    if (text.starts_with('-') || text.starts_with('+')) {
        return std::nullopt;
    }
    return text;
}

std::optional<double> decimalNumber(std::string_view text) {
    const auto digits = withoutPlus(text);
    if (!digits || digits->empty() ||
        digits->find_first_not_of("0123456789.eE+-") != std::string_view::npos) {
        return std::nullopt; // also keeps out inf, nan and hexadecimal
    }
    double value = 0;
    const char* end = digits->data() + digits->size();
    const auto result = std::from_chars(digits->data(), end, value, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

bool keepsTo(double value, NumberRule rule) {
    switch (rule) {
    case NumberRule::Any:
        return true;
    case NumberRule::AtLeastZero:
        return value >= 0;
    case NumberRule::AboveZero:
        return value > 0;
    case NumberRule::NotZero:
        return value != 0;
    }
    return false;
}

const char* ruleText(NumberRule rule) {
    switch (rule) {
    case NumberRule::Any:
        return "a number";
    case NumberRule::AtLeastZero:
        return "a number of at least 0";
    case NumberRule::AboveZero:
        return "a number above 0";
    case NumberRule::NotZero:
        return "a number other than 0";
    }
    return "";
}

} // namespace

MachineText::MachineText(std::istream& in, std::string file) : file_(std::move(file)) {
    LineReader reader(in);
    std::string_view line;
    std::size_t total = 0;
    try {
        while (reader.next(line)) {
            const long long number = reader.lineNumber();
            if (number == 1 && line.starts_with(byteOrderMark)) {
                line.remove_prefix(byteOrderMark.size());
            }
            if (line.find('\0') != std::string_view::npos) {
                fail(number, "a NUL byte: this is not a text file chimex-cli reads");
            }
            total += line.size() + 1;
            if (total > longestMachineFile) {
                fail(number, "the file is longer than 1 MiB; a controller's settings are far "
                             "shorter");
            }
            lines_.push_back({std::string(line), number});
        }
    } catch (const InputFailure& failure) {
        throw failure.inFile(file_);
    }
}

void MachineText::fail(long long line, const std::string& what) const {
    throw InputFailure(file_, line, what);
}

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::vector<std::string_view> wordsOf(std::string_view text) {
    std::vector<std::string_view> words;
    while (!(text = trim(text)).empty()) {
        const auto end = std::min(text.find_first_of(" \t"), text.size());
        words.push_back(text.substr(0, end));
        text.remove_prefix(end);
    }
    return words;
}

double numberOf(const MachineText& text, const GivenValue& value, NumberRule rule) {
    const auto number = decimalNumber(value.text);
    if (!number || !keepsTo(*number, rule)) {
        text.fail(value.line,
                  value.name + " must be " + ruleText(rule) + ", not " + shown(value.text));
    }
    return *number;
}

std::optional<double> numberOf(const MachineText& text, const std::optional<GivenValue>& value,
                               NumberRule rule) {
    return value ? std::optional(numberOf(text, *value, rule)) : std::nullopt;
}

long long wholeNumberOf(const MachineText& text, const GivenValue& value, long long least,
                        long long most) {
    long long number = 0;
    const auto digits = withoutPlus(value.text).value_or("x");
    const char* end = digits.data() + digits.size();
    const auto result = std::from_chars(digits.data(), end, number);
    if (result.ec != std::errc() || result.ptr != end || number < least || number > most) {
        text.fail(value.line, value.name + " must be a whole number from " + std::to_string(least) +
                                  " to " + std::to_string(most) + ", not " + shown(value.text));
    }
    return number;
}

void checkTravel(const MachineText& text, const AxisSettings& axis, const GivenValue& max) {
    if (axis.travelMin && axis.travelMax && !(*axis.travelMin < *axis.travelMax)) {
        text.fail(max.line, max.name + " must be above the travel's minimum " +
                                gcodeNumber(*axis.travelMin) + ", not " + shown(max.text));
    }
}

} // namespace chimex
