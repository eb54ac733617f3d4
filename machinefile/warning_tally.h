// SPDX-License-Identifier: MIT
#pragma once

#include <ostream>
#include <string_view>

namespace chimex {

/// How often one kind of warning arose, and where first.
struct WarningTally {
    long long count = 0;
    long long firstLine = 0;
    double firstValue = 0;

    void add(long long line, double value = 0) {
        if (count++ == 0) {
            firstLine = line;
            firstValue = value;
        }
    }
};

/// Prints "chimex-cli: warning: COUNT WHAT (first at line N)" when the tally is not empty, with
/// ": VALUE UNIT" after the line number when a unit is given.
void printWarning(std::ostream& err, const WarningTally& tally, std::string_view what,
                  std::string_view valueUnit = {});

} // namespace chimex
