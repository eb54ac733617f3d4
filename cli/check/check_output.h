// SPDX-License-Identifier: MIT
#pragma once

#include "cli/check/part_check.h"

#include <ostream>
#include <string>
#include <string_view>

namespace chimex {

/// Writes the report of a check as it goes: each violation as soon as it is found, the summary
/// once the file has been read. For people: "line 40: ..." lines, then the summary. As JSON: one
/// object whose "violations" come first. Numbers that are not finite are written as null.
class CheckPrinter {
  public:
    CheckPrinter(std::ostream& out, std::string_view file, bool json);

    void violation(const MoveIssue& issue);
    void finish(const CheckReport& report, const MachineLimits& limits);

  private:
    void finishText(const CheckReport& report, const MachineLimits& limits);
    void finishJson(const CheckReport& report, const MachineLimits& limits);

    std::ostream& out_;
    std::string file_;
    bool json_;
    long long printed_ = 0;
};

/// Text as a JSON string literal, quotes included. UTF-8 stays as it is; a byte that is not part
/// of UTF-8 becomes U+FFFD.
std::string jsonString(std::string_view text);

} // namespace chimex
