// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace chimex {

/// A note-on or note-off of a Standard MIDI File. A note-on with velocity 0 is stored as a
/// note-off.
struct MidiNoteEvent {
    std::uint64_t tick = 0;
    std::uint16_t track = 0;  ///< index of the track chunk, from 0
    std::uint8_t channel = 0; ///< 0 to 15
    std::uint8_t key = 0;     ///< MIDI note number 0 to 127
    bool on = false;
};

/// A tempo change: microseconds per quarter note from `tick` on.
struct MidiTempoEvent {
    std::uint64_t tick = 0;
    std::uint32_t microsecondsPerQuarter = 500000;
};

/// What the reduction to one voice needs from a MIDI file: its notes and its timing.
struct MidiFile {
    int format = 0;
    int trackCount = 0;
    int ticksPerQuarter = 0; ///< metrical time division; 0 with SMPTE time
    double ticksPerSecond =
        0; ///< SMPTE time division (frames per second x ticks per frame); else 0
    std::vector<MidiNoteEvent> notes;   ///< track by track, each in time order
    std::vector<MidiTempoEvent> tempos; ///< track by track, each in time order
    std::uint64_t endTick = 0;          ///< latest tick of any event, end of track included
};

/// True when the bytes begin like a Standard MIDI File.
bool looksLikeMidi(std::span<const std::uint8_t> bytes);

/// Parses a Standard MIDI File of format 0 or 1. Every read is bounds-checked: a damaged or
/// truncated file throws Failure saying what is wrong and at which byte.
MidiFile readMidiFile(std::span<const std::uint8_t> bytes);

} // namespace chimex
