// SPDX-License-Identifier: MIT
#pragma once

#include "cli/score/midi_voice.h"
#include "cli/score/score_note.h"

#include <istream>
#include <memory>
#include <string>

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

} // namespace chimex
