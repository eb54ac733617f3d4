// SPDX-License-Identifier: MIT
#include "gcode_convert.h"

#include "cli/common/rewind_move_file.h"
#include "cli/common/scratch_file.h"
#include "files/atomic_output_file.h"
#include "files/failure.h"
#include "machinefile/gcode_writer.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <optional>

namespace chimex {
namespace {

std::ifstream openRead(const std::filesystem::path& path, const std::string& name) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        throw InputFailure(name, 0, "cannot open the part file");
    }
    return in;
}

/// Checks the file and throws InputFailure naming its first violation; only that one is kept.
CheckReport checkOrRefuse(std::istream& in, const std::string& name, const MachineLimits& limits,
                          const std::string& what) {
    std::optional<MoveIssue> first;
    CheckReport report;
    try {
        report = checkMoveFile(in, limits, [&first](const MoveIssue& issue) {
            // A line says more than what the file as a whole lacks (line 0).
            if (!first || (first->line == 0 && issue.line > 0)) {
                first = issue;
            }
        });
    } catch (const InputFailure& failure) {
        throw failure.inFile(name);
    }
    if (report.clean()) {
        return report;
    }
    const std::string more = report.violationCount > 1
                                 ? " (and " + std::to_string(report.violationCount - 1) +
                                       " more violations; chimex-cli check lists them)"
                                 : "";
    throw InputFailure(what + name, first->line, first->message + more);
}

std::array<double, headerItemCount> headerOf(const CheckReport& report) {
    std::array<double, headerItemCount> values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = reachedValue(report, static_cast<HeaderItem>(i));
    }
    return values;
}

/// One J3 line as one G1 line; returns 1 for a note's jog. Left out: moves of several axes that go
/// nowhere, as the part file's start move to 0, 0, 0 does once the G-code's own start has made it,
/// and moves at the machine's own speed, which go nowhere either (the check refuses any other). A
/// note of length 0 stays.
long long writeJog(GcodeWriter& writer, const std::vector<MoveEvent>& jog) {
    std::vector<AxisTarget> targets;
    double seconds = 0; // of the slowest axis, which all the others keep pace with
    double path = 0;
    for (const MoveEvent& move : jog) {
        if (move.speed && (move.singleAxis || move.target != move.from)) {
            const double distance = move.target - move.from;
            targets.push_back({move.axis, move.target});
            seconds = std::max(seconds, std::fabs(distance) / *move.speed);
            path += distance * distance;
        }
    }
    if (targets.size() == 1) {
        const MoveEvent& move = *std::find_if(jog.begin(), jog.end(), [&](const MoveEvent& m) {
            return m.axis == targets.front().axis;
        });
        writer.writeMove(move.axis, move.target, *move.speed);
        return move.singleAxis ? 1 : 0;
    }
    if (!targets.empty()) {
        writer.writeMove(targets, std::sqrt(path) / seconds);
    }
    return 0;
}

/// The part file's notes and rests into `notes`. Moves that go nowhere are left out (the start move
/// to 0, 0, 0); a jog of several axes that goes somewhere is no note and cannot be timed.
void readNotes(std::istream& part, TimedGcodeSpool& notes) {
    PartFileReader reader(
        part, [](const MoveIssue& issue) { throw InputFailure({}, issue.line, issue.message); });
    std::vector<MoveEvent> jog; // the moves of one J3 line
    const auto take = [&notes](const std::vector<MoveEvent>& moves) {
        const auto going = std::count_if(moves.begin(), moves.end(), [](const MoveEvent& m) {
            return m.speed && (m.singleAxis || m.target != m.from);
        });
        if (going > 1) {
            throw InputFailure({}, moves.front().line,
                               "a jog of several axes is no note and cannot be timed for --accel");
        }
        for (const MoveEvent& m : moves) {
            if (m.speed && m.singleAxis) {
                notes.addNote(m.axis, m.target, *m.speed, std::fabs(m.target - m.from) / *m.speed);
            }
        }
    };
    while (const auto event = reader.next()) {
        if (!jog.empty() && event->line != jog.front().line) {
            take(jog);
            jog.clear();
        }
        if (event->kind == MoveEventKind::Pause) {
            notes.addRest(event->seconds);
        } else {
            jog.push_back(*event);
        }
    }
    take(jog);
}

} // namespace

long long writeGcode(std::istream& part, const CheckReport& report, const GcodeFormat& format,
                     std::ostream& out) {
    PartFileReader reader(
        part, [](const MoveIssue& issue) { throw InputFailure({}, issue.line, issue.message); });
    GcodeWriter writer(out, format);
    writer.writeStart(headerOf(report));
    long long notes = 0;
    std::vector<MoveEvent> jog; // the moves of one J3 line
    while (const auto event = reader.next()) {
        if (!jog.empty() && event->line != jog.front().line) {
            notes += writeJog(writer, jog);
            jog.clear();
        }
        if (event->kind == MoveEventKind::Pause) {
            writer.writeDwell(event->seconds);
        } else {
            jog.push_back(*event);
        }
    }
    notes += writeJog(writer, jog);
    writer.writeEnd();
    return notes;
}

long long convertPart(std::istream& part, const std::string& name, const GcodeFormat& format,
                      const MachineLimits& limits, const std::filesystem::path& out) {
    const CheckReport report = checkOrRefuse(part, name, limits, "");
    rewindMoveFile(part, name);
    return writeCheckedGcode(name, limits, out, [&](std::ostream& gcode) {
        return writeGcode(part, report, format, gcode);
    });
}

long long writeCheckedGcode(const std::string& name, const MachineLimits& limits,
                            const std::filesystem::path& out,
                            const std::function<long long(std::ostream&)>& write) {
    // The G-code waits in a file without a name, which vanishes however the command ends.
    ScratchFile scratch(std::size_t{1} << 16);
    std::ostream gcode(&scratch);
    const long long notes = write(gcode);
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

TimingReport convertTimedPartFile(const std::filesystem::path& part, const std::string& name,
                                  const GcodeFormat& format, const MachineLimits& limits,
                                  const Controller& controller, const std::filesystem::path& out,
                                  const std::function<void(const TimingReport&)>& vet) {
    std::ifstream in = openRead(part, name);
    checkOrRefuse(in, name, limits, "");
    rewindMoveFile(in, name);
    TimedGcodeSpool notes(controller, limits);
    try {
        readNotes(in, notes);
    } catch (const InputFailure& failure) {
        throw failure.inFile(name);
    }
    TimingReport report;
    writeCheckedGcode(name, limits, out, [&](std::ostream& gcode) {
        report = notes.writeGcode(gcode, format);
        vet(report);
        return report.notes;
    });
    return report;
}

long long convertPartFile(const std::filesystem::path& part, const std::string& name,
                          const GcodeFormat& format, const MachineLimits& limits,
                          const std::filesystem::path& out) {
    std::ifstream in = openRead(part, name);
    return convertPart(in, name, format, limits, out);
}

} // namespace chimex
