// SPDX-License-Identifier: MIT
#include "gcode_convert.h"

#include "cli/common/rewind_part.h"
#include "cli/common/scratch_file.h"
#include "cli/gcode/gcode_writer.h"
#include "partfile/atomic_output_file.h"
#include "platform/failure.h"

#include <algorithm>
#include <fstream>

namespace chimex {
namespace {

std::ifstream openRead(const std::filesystem::path& path, const std::string& name) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        throw InputFailure(name, 0, "cannot open the part file");
    }
    return in;
}

/// Checks the file and throws InputFailure at its first violation.
CheckReport checkOrRefuse(std::istream& in, const std::string& name, const MachineLimits& limits,
                          const std::string& what) {
    CheckReport report;
    try {
        report = checkPartFile(in, limits);
    } catch (const InputFailure& failure) {
        throw failure.inFile(name);
    }
    if (report.clean()) {
        return report;
    }
    // A line says more than what the file as a whole lacks (line 0, listed first).
    const auto lined = std::find_if(report.violations.begin(), report.violations.end(),
                                    [](const PartIssue& issue) { return issue.line > 0; });
    const PartIssue& first = lined != report.violations.end() ? *lined : report.violations.front();
    const std::string more = report.violations.size() > 1
                                 ? " (and " + std::to_string(report.violations.size() - 1) +
                                       " more violations; chimex-cli check lists them)"
                                 : "";
    throw InputFailure(what + name, first.line, first.message + more);
}

std::array<double, headerItemCount> headerOf(const CheckReport& report) {
    return {report.extents[0].high, report.extents[0].low,  report.extents[1].high,
            report.extents[1].low,  report.extents[2].high, report.extents[2].low,
            report.fastestXYSpeed,  report.fastestZSpeed};
}

} // namespace

long long writeGcode(std::istream& part, const CheckReport& report, const GcodeFormat& format,
                     std::ostream& out) {
    PartFileReader reader(
        part, [](const PartIssue& issue) { throw InputFailure({}, issue.line, issue.message); });
    GcodeWriter writer(out, format);
    writer.writeStart(headerOf(report));
    long long notes = 0;
    while (const auto event = reader.next()) {
        if (event->kind == PartEventKind::Pause) {
            writer.writeDwell(event->seconds);
        } else if (event->speed && (event->singleAxis || event->target != event->from)) {
            writer.writeMove(event->axis, event->target, *event->speed);
            notes += event->singleAxis ? 1 : 0;
        }
        // Left out: moves of several axes that go nowhere, as the part file's start move to
        // 0, 0, 0 does once the G-code's own start has made it, and moves at the machine's own
        // speed, which go nowhere either (the check refuses any other). A note of length 0 stays.
    }
    writer.writeEnd();
    return notes;
}

long long convertPart(std::istream& part, const std::string& name, const GcodeFormat& format,
                      const MachineLimits& limits, const std::filesystem::path& out) {
    const CheckReport report = checkOrRefuse(part, name, limits, "");
    rewindPart(part, name);
    // The G-code waits in a file without a name, which vanishes however the command ends.
    ScratchFile scratch(std::size_t{1} << 16);
    std::ostream gcode(&scratch);
    const long long notes = writeGcode(part, report, format, gcode);
    if (!gcode.flush()) {
        throw Failure("Cannot write the G-code to a scratch file: " + systemReason());
    }
    scratch.rewind();
    std::istream written(&scratch);
    checkOrRefuse(written, name, limits, "the G-code written from ");
    scratch.rewind();
    AtomicOutputFile file(out);
    file.stream() << &scratch;
    file.commit();
    return notes;
}

long long convertPartFile(const std::filesystem::path& part, const std::string& name,
                          const GcodeFormat& format, const MachineLimits& limits,
                          const std::filesystem::path& out) {
    std::ifstream in = openRead(part, name);
    return convertPart(in, name, format, limits, out);
}

} // namespace chimex
