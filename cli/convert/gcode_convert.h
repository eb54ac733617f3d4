// SPDX-License-Identifier: MIT
#pragma once

#include "cli/check/part_check.h"
#include "cli/convert/timed_gcode_spool.h"
#include "machinefile/gcode_format.h"

#include <filesystem>
#include <functional>
#include <istream>
#include <ostream>
#include <string>

namespace chimex {

/// Writes the moves and pauses of a part file as G-code, move for move: the header states the
/// extents and fastest feeds the moves reach, the operator stop and the move to 0, 0, 0 come
/// first, and each jog becomes one G1 at its speed. `part` is read once and must already have
/// passed the check (a move at the machine's own speed that goes somewhere cannot be written).
/// Returns the number of notes (jogs of one axis) written.
long long writeGcode(std::istream& part, const CheckReport& report, const GcodeFormat& format,
                     std::ostream& out);

/// The whole conversion of the part file `part` (named `name` in messages; read twice, so it must
/// be able to go back to its start) to `out`, whole or not at all: the part file is checked against
/// `limits` first, and the G-code written is checked against them again before it is put in place,
/// so that rounding cannot put a move onto the travel's edge. Throws InputFailure naming the first
/// violation (and how many there are).
long long convertPart(std::istream& part, const std::string& name, const GcodeFormat& format,
                      const MachineLimits& limits, const std::filesystem::path& out);

/// G-code made by `write` (which returns the number of notes it wrote), checked against `limits`
/// and put at `out` whole; a violation is refused as from "the G-code written from `name`".
long long writeCheckedGcode(const std::string& name, const MachineLimits& limits,
                            const std::filesystem::path& out,
                            const std::function<long long(std::ostream&)>& write);

/// The same for the part file at the path `part`.
long long convertPartFile(const std::filesystem::path& part, const std::string& name,
                          const GcodeFormat& format, const MachineLimits& limits,
                          const std::filesystem::path& out);

/// The same with each note timed for `controller` (see TimedGcodeSpool): the part file's jogs of
/// one axis are its notes, each held its length over its speed, and its pauses the rests.
/// `vet` sees the report before anything is put at `out`, and may refuse it by throwing.
TimingReport convertTimedPartFile(const std::filesystem::path& part, const std::string& name,
                                  const GcodeFormat& format, const MachineLimits& limits,
                                  const Controller& controller, const std::filesystem::path& out,
                                  const std::function<void(const TimingReport&)>& vet);

} // namespace chimex
