// SPDX-License-Identifier: MIT
#include "finish_journal.h"

#include "cli/common/rewind_part.h"
#include "partfile/finaliser.h"
#include "platform/failure.h"

namespace chimex {
namespace {

void refuseFinished(std::istream& journal, const std::string& name) {
    std::string first;
    std::getline(journal, first);
    if (!first.empty() && first.back() == '\r') {
        first.pop_back();
    }
    if (first == finishedFirstLine) {
        throw InputFailure(name, 0, "a finished part file already, not a journal");
    }
    rewindPart(journal, name);
}

/// The header values the program would have kept while playing: the lowest points stay 0, the
/// highest and the fastest speeds are what the jogs reach.
HeaderValues headerFromJogs(const CheckReport& report) {
    HeaderValues values;
    values.HighX = static_cast<float>(report.extents[0].high);
    values.HighY = static_cast<float>(report.extents[1].high);
    values.HighZ = static_cast<float>(report.extents[2].high);
    values.TopXYSpeed = static_cast<float>(report.fastestXYSpeed);
    values.TopZSpeed = static_cast<float>(report.fastestZSpeed);
    return values;
}

} // namespace

void finishJournal(std::istream& journal, const std::string& name, const MachineLimits& limits,
                   std::ostream& out) {
    refuseFinished(journal, name);
    const CheckReport report = checkPartFile(journal, limits);
    for (const PartIssue& issue : report.violations) {
        // Line 0 stands for the header, which a journal does not have yet.
        if (issue.line > 0) {
            throw InputFailure(name, issue.line, issue.message);
        }
    }
    rewindPart(journal, name);
    writePartFile(journal, out, headerFromJogs(report));
}

} // namespace chimex
