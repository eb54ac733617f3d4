// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
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

/// One track chunk: its events, with their place in the file for messages.
struct MidiTrackChunk {
    std::span<const std::uint8_t> bytes;
    std::size_t offset = 0; ///< of the first event in the file
    int index = 0;          ///< from 0
};

/// What the reduction to one voice needs from a MIDI file: its timing and its tracks, whose note
/// events are read again one at a time (MidiTrackReader) rather than kept, so that memory does not
/// grow with the notes of the file. It refers to the file's bytes, which must outlive it.
struct MidiFile {
    int format = 0;
    int trackCount = 0;
    int ticksPerQuarter = 0; ///< metrical time division; 0 with SMPTE time
    double ticksPerSecond =
        0; ///< SMPTE time division (frames per second x ticks per frame); else 0
    std::vector<MidiTrackChunk> tracks; ///< the track chunks in file order
    std::vector<MidiTempoEvent> tempos; ///< track by track, each in time order
    std::uint64_t endTick = 0;          ///< latest tick of any event, end of track included
};

/// True when the bytes begin like a Standard MIDI File.
bool looksLikeMidi(std::span<const std::uint8_t> bytes);

/// Parses a Standard MIDI File of format 0 or 1, every track to its end. Every read is
/// bounds-checked: a damaged or truncated file throws Failure saying what is wrong and at which
/// byte.
MidiFile readMidiFile(std::span<const std::uint8_t> bytes);

/// The note events of one track of a file readMidiFile has accepted, in the track's order.
class MidiTrackReader {
  public:
    explicit MidiTrackReader(const MidiTrackChunk& chunk);
    ~MidiTrackReader();
    MidiTrackReader(MidiTrackReader&&) noexcept;
    MidiTrackReader& operator=(MidiTrackReader&&) noexcept;

    /// The next note-on or note-off of the track; nothing after the last.
    std::optional<MidiNoteEvent> nextNote();

    struct Parser; ///< reads the track event by event; readMidiFile checks the file with it

  private:
    std::unique_ptr<Parser> parser_;
};

} // namespace chimex
