// SPDX-License-Identifier: MIT
#pragma once

#include "machine_settings.h"

#include <istream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace chimex {

/// A machine file held whole, so that its kind can be told before it is read: its name for
/// messages and its lines, each with its number from 1 (a leading UTF-8 byte-order mark dropped).
class MachineText {
  public:
    struct Line {
        std::string text;
        long long number = 0;
    };

    /// Throws InputFailure naming `file` for a line longer than LineReader::maxLength, a NUL
    /// byte or more than longestMachineFile bytes in all.
    MachineText(std::istream& in, std::string file);

    const std::string& file() const { return file_; }
    const std::vector<Line>& lines() const { return lines_; }

    /// Throws InputFailure naming the file, `line` (none when 0) and `what`.
    [[noreturn]] void fail(long long line, const std::string& what) const;

  private:
    std::string file_;
    std::vector<Line> lines_;
};

/// A value as the file gives it: the name the controller's users know it by, its text and its
/// line.
struct GivenValue {
    std::string name;
    std::string text;
    long long line = 0;
};

/// The text with its ASCII letters in lower case.
std::string lowerCase(std::string_view text);

/// The words of a text separated by blanks and tabs.
std::vector<std::string_view> wordsOf(std::string_view text);

/// What a number must be beyond finite.
enum class NumberRule { Any, AtLeastZero, AboveZero, NotZero };

/// The value's text as a decimal number (an optional sign, digits with at most one point, an
/// optional exponent) that keeps to `rule`. Throws InputFailure naming the value otherwise.
double numberOf(const MachineText& text, const GivenValue& value, NumberRule rule);

/// The same for a value the file may not give: nothing then.
std::optional<double> numberOf(const MachineText& text, const std::optional<GivenValue>& value,
                               NumberRule rule);

/// The value given for `key`, if any.
template <typename Key>
std::optional<GivenValue> givenIn(const std::map<Key, GivenValue>& values, const Key& key) {
    const auto found = values.find(key);
    return found == values.end() ? std::nullopt : std::optional(found->second);
}

/// The value's text as a whole number from `least` to `most`; throws as numberOf does.
long long wholeNumberOf(const MachineText& text, const GivenValue& value, long long least,
                        long long most);

/// Refuses travel whose minimum is not below its maximum, naming the maximum's value.
void checkTravel(const MachineText& text, const AxisSettings& axis, const GivenValue& max);

/// What a sender shows around the `$N=V` lines of a GRBL report: the `$$` command, GRBL's
/// greeting, `ok`, `[TAG:…]` messages and `<…>` status reports (the line without blanks around).
bool isGrblSenderLine(std::string_view line);

/// The settings of each kind, read from a file already told to be of that kind.
MachineSettings readGrblReport(const MachineText& text);
MachineSettings readLinuxCncIni(const MachineText& text);
MachineSettings readMarlinReport(const MachineText& text);
MachineSettings readKlipperConfig(const MachineText& text);

} // namespace chimex
