// SPDX-License-Identifier: MIT
// Any text as a part file: the check never throws for text it can read, lists violations in line
// order within the file, and reports only finite extents.
#include "cli/check/part_check.h"
#include "cli/common/settings_choice.h"
#include "fuzz_check.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

using namespace chimex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    const CheckReport report = checkPartFile(in, machineLimits());
    long long previous = 0;
    for (const PartIssue& v : report.violations) {
        CHIMEX_FUZZ_CHECK(v.line >= previous && v.line <= report.lines);
        CHIMEX_FUZZ_CHECK(!v.message.empty());
        previous = v.line;
    }
    CHIMEX_FUZZ_CHECK(report.notes <= report.lines && report.pauses <= report.lines);
    for (const AxisExtent& extent : report.extents) {
        CHIMEX_FUZZ_CHECK(std::isfinite(extent.low) && std::isfinite(extent.high));
        CHIMEX_FUZZ_CHECK(extent.low <= 0 && extent.high >= 0);
    }
    CHIMEX_FUZZ_CHECK(!(report.runningSeconds < 0));
    return 0;
}
