// SPDX-License-Identifier: MIT
// Any text as a part file: when it passes the check, its G-code in each dialect holds no inf, NaN
// or exponent, has lines GRBL can take, keeps its setup line and program end where the reader
// requires them, and reads back to at least the same notes and, within the G-code's rounding,
// the same extents.
#include "cli/common/settings_choice.h"
#include "cli/convert/gcode_convert.h"
#include "files/failure.h"
#include "fuzz_check.h"
#include "machinefile/move_file_reader.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

using namespace chimex;

namespace {

CheckReport check(const std::string& text) {
    std::istringstream in(text);
    return checkMoveFile(in, machineLimits());
}

void checkCodeLines(const std::string& gcode) {
    std::istringstream lines(gcode);
    for (std::string line; std::getline(lines, line);) {
        CHIMEX_FUZZ_CHECK(line.size() < 80);
        if (line.starts_with("G") || line.starts_with("M")) {
            CHIMEX_FUZZ_CHECK(line.find_first_of("eEaIi") == std::string::npos);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string part(reinterpret_cast<const char*>(data), size);
    std::istringstream content(part);
    if (looksLikeGcode(content)) {
        return 0; // the check reads G-code too; only part files are converted
    }
    CheckReport report;
    try {
        report = check(part);
    } catch (const InputFailure&) {
        return 0; // not text: a line far too long, a NUL byte
    }
    if (!report.clean()) {
        return 0;
    }
    for (const auto dialect : {GcodeDialect::Grbl, GcodeDialect::LinuxCnc, GcodeDialect::Marlin}) {
        std::istringstream in(part);
        std::ostringstream out;
        const long long written = writeGcode(in, report, {dialect, LengthUnit::Millimetre}, out);
        checkCodeLines(out.str());
        const CheckReport again = check(out.str());
        for (const MoveIssue& issue : again.violations) {
            // Setup, program end and dwells come from the writer alone, whatever the part file.
            CHIMEX_FUZZ_CHECK(issue.message.find("setup line") == std::string::npos);
            CHIMEX_FUZZ_CHECK(issue.message.find("program end") == std::string::npos);
            CHIMEX_FUZZ_CHECK(issue.message.find("cut short") == std::string::npos);
        }
        // A hand-made jog of several axes that goes somewhere becomes one G1 line of those axes,
        // which is no note. A jog at the machine's own speed goes nowhere (the check refuses any
        // other) and is left out, though the check of the part file counts a single-axis one as a
        // note.
        CHIMEX_FUZZ_CHECK(again.notes.notes() >= written);
        CHIMEX_FUZZ_CHECK(written <= report.notes.notes());
        for (std::size_t axis = 0; axis < 3; ++axis) {
            CHIMEX_FUZZ_CHECK(std::fabs(again.extents[axis].high - report.extents[axis].high) <=
                              0.00005 + 1e-9);
        }
    }
    return 0;
}
