// SPDX-License-Identifier: MIT
#pragma once

#include "cli/score/midi_voice.h"
#include "cli/score/score_note.h"

#include <istream>
#include <memory>
#include <string>
#include <vector>

namespace chimex {

/// A score opened for playing: its notes, and whether it is a MIDI file.
struct OpenedScore {
    std::unique_ptr<NoteSource> notes;
    bool midi = false;
};

/// Opens a MIDI file or a text score, told apart without going back in the input, so that a
/// score can come from a pipe: a text score never begins with "M", and a MIDI file is read whole
/// anyway. A name ending in .mid or .midi must be a MIDI file. `selection` applies to MIDI only.
/// Throws InputFailure for an input that is no score (or no note in the selection).
OpenedScore openScore(std::istream& file, const std::string& name, const MidiSelection& selection);

/// A score opened for playing several voices: all its notes in order of start. A text score is
/// one voice, each note starting its gap after the one before ended (the first at 0).
struct OpenedChords {
    std::vector<ChordNote> notes;
    bool midi = false;
};

/// Opens a MIDI file or a text score as openScore does, read whole. Throws InputFailure for an
/// input that is no score, or a MIDI selection without notes.
OpenedChords openChordScore(std::istream& file, const std::string& name,
                            const MidiSelection& selection);

} // namespace chimex
