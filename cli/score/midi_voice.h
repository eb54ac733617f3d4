// SPDX-License-Identifier: MIT
#pragma once

#include "cli/score/midi_file.h"
#include "cli/score/score_note.h"

#include <optional>
#include <vector>

namespace chimex {

/// The lowest and highest MIDI notes of the keyboard: C3 (key 0) and C6 (key 36).
inline constexpr int lowestKeyNote = 48;
inline constexpr int highestKeyNote = 84;

/// Which part of a MIDI file to play.
struct MidiSelection {
    std::optional<int> track;   ///< track chunk, from 1; all tracks when not given
    std::optional<int> channel; ///< MIDI channel 1 to 16; all channels when not given
    int transpose = 0;          ///< semitones added to every note before anything else
};

/// A MIDI note moved by whole octaves into C3 to C6, as a key index 0 to 36.
int keyForNote(int note);

/// Reduces the selected notes to one voice: at every moment the highest sounding note wins, a new
/// press of the winning note starts a new note, and silence becomes the gap before the next note.
/// Times follow the tempo map (120 beats a minute until the first tempo event) or the SMPTE
/// division. Throws Failure when the selection names a track the file does not have.
std::vector<ScoreNote> reduceToOneVoice(const MidiFile& file, const MidiSelection& selection);

/// Hands out the notes of a reduced MIDI file in order.
class NoteListSource : public NoteSource {
  public:
    explicit NoteListSource(std::vector<ScoreNote> notes) : notes_(std::move(notes)) {}
    std::optional<ScoreNote> next() override;

  private:
    std::vector<ScoreNote> notes_;
    std::size_t next_ = 0;
};

} // namespace chimex
