// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/settings_choice.h"
#include "cli/render/tuned_speeds.h"
#include "cli/score/score_note.h"
#include "core/program_state.h"
#include "platform/random_numbers.h"

#include <filesystem>
#include <functional>
#include <ostream>
#include <vector>

namespace chimex {

struct RenderOutcome {
    long long notesPlaced = 0;
    bool noRoom = false;        ///< the planner found no room for a note and playing ended there
    long long notesLowered = 0; ///< tuned notes placed an octave or more below their pitch
};

/// Called now and then with the number of notes placed so far.
using RenderProgress = std::function<void(long long notesPlaced)>;

/// Plays the notes through note capture and the note planner, each held exactly its hold time
/// after exactly its gap. Stops early when the planner finds no room for a note, telling
/// `messages` so. The program state must be set up as start-up leaves it (applySettings, the tune
/// stream open). Throws InputFailure for a note out of range, Failure for an arithmetic fault.
/// With `tuned`, each note jogs at its key's tuned speeds instead of the key speed.
RenderOutcome playNotes(NoteSource& notes, ProgramState& state, RandomNumbers& random,
                        std::ostream& messages, const RenderProgress& progress = {},
                        const TunedSpeeds* tuned = nullptr);

/// Refuses, naming the note, a score of several voices in which a note is held, or a silence
/// lasts, a day or more (or a time is not a number), as playNotes refuses such a note.
void checkChordNotes(const std::vector<ChordNote>& notes);

/// The render with every pause and jog handed to `moves` instead of a part file's text (for
/// G-code).
RenderOutcome renderMoves(NoteSource& notes, const SettingsChoice& settings, MoveSink& moves,
                          std::ostream& messages, const RenderProgress& progress = {},
                          const std::optional<StepsPerUnit>& tuning = {});

/// The render into a stream: settings, the journal in a scratch file, then the finished part file
/// written to `out`. Throws Failure when `out` fails.
RenderOutcome renderPart(NoteSource& notes, const SettingsChoice& settings, std::ostream& out,
                         std::ostream& messages, const RenderProgress& progress = {},
                         const std::optional<StepsPerUnit>& tuning = {});

/// The whole render: settings, the journal in a scratch file, then the finished part file put at
/// `out` whole. `messages` receives the planner's message. Nothing is written at `out` when a
/// failure is thrown. With `tuning`, feeds are tuned to the keys' pitches (see TunedSpeeds).
RenderOutcome renderPartFile(NoteSource& notes, const SettingsChoice& settings,
                             const std::filesystem::path& out, std::ostream& messages,
                             const RenderProgress& progress = {},
                             const std::optional<StepsPerUnit>& tuning = {});

} // namespace chimex
