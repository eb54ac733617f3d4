// SPDX-License-Identifier: MIT
#include "warning_tally.h"

#include "partfile/number_text.h"

namespace chimex {

void printWarning(std::ostream& err, const WarningTally& tally, std::string_view what,
                  std::string_view valueUnit) {
    if (tally.count == 0) {
        return;
    }
    err << "chimex-cli: warning: " << tally.count << " " << what << " (first at line "
        << tally.firstLine;
    if (!valueUnit.empty()) {
        err << ": " << shortestText(tally.firstValue) << " " << valueUnit;
    }
    err << ")\n";
}

} // namespace chimex
