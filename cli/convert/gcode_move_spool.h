// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/scratch_file.h"
#include "core/move_sink.h"
#include "machinefile/gcode_writer.h"

#include <array>
#include <cstdint>
#include <ostream>
#include <utility>
#include <vector>

namespace chimex {

/// The pauses and jogs of a render kept for writing them as G-code: a few bytes each in a file
/// without a name, so memory stays flat however long the tune. Each value is kept as the number
/// its part-file text reads as, so the G-code is the very one converting the part file gives; the
/// extents and fastest speeds the header states are gathered on the way.
class GcodeMoveSpool : public MoveSink {
  public:
    GcodeMoveSpool();

    void pause(float seconds) override;
    void move(Axis axis, float speed, float duration, float position,
              const ShortText& positionText) override;

    /// Writes the whole G-code: the start with the header, the start pause, every pause and jog
    /// kept, the end. Returns the number of notes written.
    long long writeGcode(std::ostream& out, const GcodeFormat& format);

  private:
    void put(std::uint8_t tag, double first, double second);
    /// A speed as its plain-form text reads; the few speeds of a render are worked out once.
    double readSpeed(float speed);

    ScratchFile file_;
    std::ostream out_;
    std::array<double, headerItemCount> header_{};
    std::vector<std::pair<float, double>> speeds_;
    long long notes_ = 0;
};

} // namespace chimex
