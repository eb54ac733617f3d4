// SPDX-License-Identifier: MIT
#pragma once

#include "cli/check/part_check.h"

#include <ostream>
#include <string_view>

namespace chimex {

/// The report for people: a summary, then one line per violation ("line 40: ...").
void printCheckReport(std::ostream& out, std::string_view file, const CheckReport& report,
                      const MachineLimits& limits);

/// The same as one JSON object. Numbers that are not finite are written as null.
void printCheckJson(std::ostream& out, std::string_view file, const CheckReport& report,
                    const MachineLimits& limits);

/// Text as a JSON string literal, quotes included.
std::string jsonString(std::string_view text);

} // namespace chimex
