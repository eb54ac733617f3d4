// SPDX-License-Identifier: MIT
#pragma once

#include "timed_moves.h"

#include <array>
#include <optional>
#include <vector>

namespace chimex {

/// Times single-axis notes for GRBL 1.1 by its own step generation: each note a whole number of
/// steps, at a feed within 0.09 % of its own, chosen with the others so that every note's first
/// step, and the last note's last, come on the score's time as GRBL's planner and stepper run
/// them (`grbl_steps`); at a rest the machine stops, idles its step idle delay and waits whole
/// 50 ms dwell steps, the rest of the rest taken by the note before (held up to 35 ms off its
/// time). A gap shorter than the stop costs is played legato. No note's feed goes above its
/// axis's `fastest` (0: any). Nothing when the controller does not step as GRBL does, an axis has
/// no whole steps the written positions keep, or a move fits the travel neither way: then the
/// caller times them as `timeMoves` does.
std::optional<std::vector<TimedMove>> timeGrblMoves(const std::vector<TimingNote>& notes,
                                                    const Controller& controller,
                                                    const std::array<double, 3>& travel,
                                                    const std::array<double, 3>& fastest);

} // namespace chimex
