// SPDX-License-Identifier: MIT
#pragma once

#include "controller.h"
#include "grbl_steps.h"
#include "junction.h"

#include <cstddef>
#include <vector>

namespace chimex {

/// A sounding note as GRBL plays it: its axis and direction, the feed the score gives it and the
/// fastest its axis may take (length/s), when it starts and how long it lasts on the score's clock
/// (a gap too short to stop in is added to the note before), whether the machine stops before it.
struct GrblNote {
    std::size_t index = 0; ///< into the score's notes
    std::size_t axis = 0;
    double sign = 1;
    double feed = 0;
    double fastest = 0;
    double start = 0;
    double hold = 0;
    bool restBefore = false;
    bool operator==(const GrblNote&) const = default;
};

/// The note's unit direction.
inline Direction unitOf(const GrblNote& n) {
    Direction unit{};
    unit[n.axis] = n.sign;
    return unit;
}

/// Whether the note starts from rest: the first, or one after a stop.
inline bool startsRun(const std::vector<GrblNote>& notes, std::size_t i) {
    return i == 0 || notes[i].restBefore;
}

/// What is written for a note: its whole steps, its feed (within a hair of the score's), and the
/// 50 ms dwell steps of the `G4` before it when the machine stops before it.
struct GrblChoice {
    long steps = 0;
    double feed = 0;
    int dwellSteps = 0;
};

/// A note's move as GRBL's planner speeds it and its stepper runs it.
struct GrblPlanned {
    double length = 0;
    MoveSpeeds speeds;
    GrblMoveTiming timing;
};

/// The moves GRBL's planner makes of the choices: speeds through each run between stops.
std::vector<GrblPlanned> planGrblTune(const std::vector<GrblNote>& notes,
                                      const std::vector<GrblChoice>& choices, const Controller& c);

/// Each note's first step off the score's time, measured from the first note's, then the last
/// step's off the tune's end (seconds; one more than the notes).
std::vector<double> grblOnsetErrors(const std::vector<GrblNote>& notes,
                                    const std::vector<GrblChoice>& choices,
                                    const std::vector<GrblPlanned>& planned, const Controller& c);

/// The choices whose worst onset error (then their sum) is least, from a first guess; empty when
/// none is found.
std::vector<GrblChoice> chooseGrblTiming(const std::vector<GrblNote>& notes, const Controller& c);

} // namespace chimex
