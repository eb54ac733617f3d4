// SPDX-License-Identifier: MIT
#pragma once

#include "cli/score/midi_file.h"
#include "cli/score/score_note.h"
#include "core/key_notes.h"

#include <memory>
#include <optional>
#include <vector>

namespace chimex {

/// Which part of a MIDI file to play.
struct MidiSelection {
    std::optional<int> track;   ///< track chunk, from 1; all tracks when not given
    std::optional<int> channel; ///< MIDI channel 1 to 16; all channels when not given
    int transpose = 0;          ///< semitones added to every note before anything else
};

/// The selected notes reduced to one voice, note by note as they are asked for, so that memory
/// does not grow with the song: at every moment the highest sounding note wins, a new press of
/// the winning note starts a new note, and silence becomes the gap before the next note. Times
/// follow the tempo map (120 beats a minute until the first tempo event) or the SMPTE division.
/// The file must outlive the voice. Throws Failure when the selection names a track the file does
/// not have.
class MidiVoice : public NoteSource {
  public:
    MidiVoice(const MidiFile& file, const MidiSelection& selection);
    ~MidiVoice() override;
    std::optional<ScoreNote> next() override;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

/// All notes of the MidiVoice at once. Reduces the selected notes to one voice: at every moment the
/// highest sounding note wins, a new press of the winning note starts a new note, and silence
/// becomes the gap before the next note. Times follow the tempo map (120 beats a minute until the
/// first tempo event) or the SMPTE division. Throws Failure when the selection names a track the
/// file does not have.
std::vector<ScoreNote> reduceToOneVoice(const MidiFile& file, const MidiSelection& selection);

/// Every selected note of the file, in order of start, for playing several voices at once: a
/// note sounds from its press to its release (a press of a sounding pitch ends it and starts
/// another). Drums (channel 10) are left out unless the selection names channel 10. Pitches fold
/// by octaves onto the keys as the one voice's do. Throws Failure as MidiVoice does.
std::vector<ChordNote> readChordNotes(const MidiFile& file, const MidiSelection& selection);

/// The voice of a MIDI file that holds the file's bytes itself. Throws Failure for a damaged file
/// or a selection the file does not have.
class MidiScore : public NoteSource {
  public:
    MidiScore(std::vector<std::uint8_t> bytes, const MidiSelection& selection)
        : bytes_(std::move(bytes)), file_(readMidiFile(bytes_)), voice_(file_, selection) {}
    std::optional<ScoreNote> next() override { return voice_.next(); }

  private:
    std::vector<std::uint8_t> bytes_;
    MidiFile file_;
    MidiVoice voice_;
};

} // namespace chimex
