// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/command_options.h"
#include "cli/common/machine_limits.h"
#include "core/move_sink.h"
#include "machinefile/gcode_format.h"
#include "motion/timed_moves.h"

#include <array>
#include <ostream>
#include <string>
#include <vector>

namespace chimex {

/// What a timed file could not give the tune: notes (for chords, moves) too short to reach their
/// pitch, or to sound at all; where playing ended for lack of room. Firsts count from 1 (0: none).
struct TimingReport {
    long long notes = 0;    ///< moves written
    long long tooShort = 0; ///< moves that keep their time as triangle moves, below their pitch
    long long firstShort = 0;
    long long silent = 0; ///< too short to move one whole step in their time: kept as rests
    long long firstSilent = 0;
    long long silentForRamps = 0; ///< of them, those that would move one without the ramps
    long long offTime = 0; ///< moves that start off the score's time by more than whole steps allow
    long long firstOff = 0;
    double mostOff = 0;   ///< seconds
    bool noRoom = false;  ///< a timed move fitted the travel neither way: playing ended there
    long long played = 0; ///< the notes before it
};

/// Counts the `number`th note (or chord move) into the report, as it was played: silent or not,
/// reaching its feed or not, starting off the score's time by `startsOff` seconds.
void tally(TimingReport& report, long long number, Silence silence, bool reachesFeed,
           double startsOff);

/// Refuses --accel as a wrong command line when no note sounds though some would without the
/// ramps: an acceleration no note can use.
void refuseUselessAcceleration(const TimingReport& report, const Options& options);

/// Tells `err` what the report holds, calling each move a `note` ("note" or "move").
void printTimingReport(const TimingReport& report, const std::string& note, std::ostream& err);

/// The notes of a tune kept for G-code whose notes keep the score's time on a machine that
/// accelerates: each note stays one G1 move, its length chosen so that its ramps and cruise last
/// the note, each note starting on the score's cumulative time; rests are dwells only where the
/// score has a gap, to the millisecond.
class TimedGcodeSpool : public MoveSink {
  public:
    /// `startPause`: the seconds of the dwell after the move to 0, 0, 0 (a part file has its own).
    TimedGcodeSpool(const Controller& controller, const MachineLimits& limits,
                    double startPause = 0);

    /// The silence before the next note.
    void pause(float seconds) override;
    void move(Axis axis, float speed, float duration, float position,
              const ShortText& positionText) override;
    /// A note's jog of `axis` to `target` at `speed` (units a second), held `hold` seconds.
    void addNote(Axis axis, double target, double speed, double hold);
    void addRest(double seconds);

    /// Writes the whole G-code, the header stating what the timed moves reach. Throws Failure if a
    /// move would leave the travel.
    TimingReport writeGcode(std::ostream& out, const GcodeFormat& format) const;

  private:
    Controller controller_;
    std::array<double, 3> travel_;
    std::array<double, 3> fastest_;
    double startPause_ = 0;
    std::vector<TimingNote> notes_;
    std::array<double, 3> position_{};
    double clock_ = 0;
    double gap_ = 0;
};

} // namespace chimex
