// SPDX-License-Identifier: MIT
// Any text as a part file: the check throws only InputFailure (a line far too long, a NUL byte),
// lists violations in line order within the file, and reports only finite extents. As a journal:
// finish refuses it, or leaves out only the NUL bytes at its end and a last line without its end
// and writes a part file that ends with its footer.
#include "cli/check/part_check.h"
#include "cli/common/settings_choice.h"
#include "cli/finish/finish_journal.h"
#include "files/failure.h"
#include "fuzz_check.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>

using namespace chimex;

namespace {

void finishAsJournal(const std::string& text) {
    std::istringstream journal(text);
    std::ostringstream finished;
    LeftOut leftOut;
    try {
        leftOut = finishJournal(journal, "journal", machineLimits(), finished);
    } catch (const InputFailure&) {
        return;
    }
    const std::string written =
        text.substr(0, text.size() - static_cast<std::size_t>(leftOut.zeroBytes));
    CHIMEX_FUZZ_CHECK(written.find_last_not_of('\0') + 1 == written.size());
    CHIMEX_FUZZ_CHECK(!leftOut.line || (written.back() != '\n' && written.back() != '\r'));
    std::istringstream part(finished.str());
    for (const MoveIssue& v : checkMoveFile(part, machineLimits()).violations) {
        CHIMEX_FUZZ_CHECK(v.message.find("footer") == std::string::npos);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    finishAsJournal(text);
    std::istringstream in(text);
    CheckReport report;
    try {
        report = checkMoveFile(in, machineLimits());
    } catch (const InputFailure&) {
        return 0;
    }
    CHIMEX_FUZZ_CHECK(report.violationCount == static_cast<long long>(report.violations.size()));
    long long previous = 0;
    for (const MoveIssue& v : report.violations) {
        CHIMEX_FUZZ_CHECK(v.line >= previous && v.line <= report.lines);
        CHIMEX_FUZZ_CHECK(!v.message.empty());
        previous = v.line;
    }
    CHIMEX_FUZZ_CHECK(report.notes.notes() + report.notes.chords() <= report.lines &&
                      report.pauses <= report.lines);
    for (const AxisExtent& extent : report.extents) {
        CHIMEX_FUZZ_CHECK(std::isfinite(extent.low) && std::isfinite(extent.high));
        CHIMEX_FUZZ_CHECK(extent.low <= 0 && extent.high >= 0);
    }
    CHIMEX_FUZZ_CHECK(!(report.runningSeconds < 0));
    return 0;
}
