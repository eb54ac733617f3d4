// SPDX-License-Identifier: MIT
#include "render.h"

#include "cli/render/journal_spool.h"
#include "core/note_capture.h"
#include "files/atomic_output_file.h"
#include "files/failure.h"
#include "partfile/finaliser.h"
#include "partfile/number_text.h"
#include "platform/random_source.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <istream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace chimex {
namespace {

/// Refuses a note's hold or gap outside 0 to a day, naming the note.
void checkTimes(double hold, double gap, long long index) {
    for (const auto& [time, what] : {std::pair{hold, "held for"}, {gap, "a gap of"}}) {
        if (!(std::isfinite(time) && time >= 0 && time < longestScoreTime)) {
            throw InputFailure("note " + std::to_string(index) + ": " + what + " " +
                               shortestText(time) +
                               " seconds; times must be at least 0 and less than a day (86400 "
                               "seconds)");
        }
    }
}

void checkNote(const ScoreNote& note, long long index) {
    if (note.key < 0 || note.key >= keyCount) {
        throw InputFailure("note " + std::to_string(index) + ": key " + std::to_string(note.key) +
                           " is not one of 0 to 36");
    }
    checkTimes(note.hold, note.gap, index);
}

constexpr long long progressEvery = 1 << 16;

/// Whether the placed note's speed was moved down by octaves; the last draw (MoveChoice 1 to 6:
/// X, X, Y, Y, Z, Z) names the axis it went on.
bool wasLowered(const TunedSpeeds& tuned, int key, std::int32_t moveChoice) {
    const auto axis = static_cast<std::size_t>((moveChoice - 1) / 2);
    return tuned.lowered[axis][static_cast<std::size_t>(key)];
}

/// The speeds each key jogs at: the key speeds, or the tuned speeds; worked out once per render.
std::array<NoteSpeeds, keyCount> keyTable(const ProgramState& state, const TunedSpeeds* tuned) {
    std::array<NoteSpeeds, keyCount> table;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const int key = static_cast<int>(i);
        table[i] = tuned ? tuned->of(key) : keySpeeds(state, key);
    }
    return table;
}

} // namespace

void checkChordNotes(const std::vector<ChordNote>& notes) {
    double lastEnd = 0; // of the notes so far; the silence before a note is what it follows
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const ChordNote& note = notes[i];
        const double gap = i == 0 ? 0 : std::max(note.start - lastEnd, 0.0);
        checkTimes(note.end - note.start, gap, static_cast<long long>(i) + 1);
        lastEnd = std::max(lastEnd, note.end);
    }
}

// One note of look-ahead: a note out of range is refused before the note before it is placed.
RenderOutcome playNotes(NoteSource& notes, ProgramState& state, RandomNumbers& random,
                        std::ostream& messages, const RenderProgress& progress,
                        const TunedSpeeds* tuned) {
    RenderOutcome outcome;
    const std::array<NoteSpeeds, keyCount> speeds = keyTable(state, tuned);
    std::optional<ScoreNote> current = notes.next();
    long long index = 1;
    if (current) {
        checkNote(*current, index);
        startNote(state, current->gap);
    }
    while (current) {
        std::optional<ScoreNote> following = notes.next();
        if (following) {
            checkNote(*following, index + 1);
        }
        if (endNote(state, random, current->hold, speeds[static_cast<std::size_t>(current->key)]) ==
            NoteOutcome::NoRoom) {
            messages << notEnoughRoomCaption << ": " << notEnoughRoomMessage << "\n";
            outcome.noRoom = true;
            break;
        }
        ++outcome.notesPlaced;
        outcome.notesLowered += tuned && wasLowered(*tuned, current->key, state.MoveChoice) ? 1 : 0;
        if (progress && outcome.notesPlaced % progressEvery == 0) {
            progress(outcome.notesPlaced);
        }
        if (following) {
            startNote(state, following->gap);
        }
        current = following;
        ++index;
    }
    return outcome;
}

namespace {

/// The settings applied, then the notes played into whatever the state writes to.
RenderOutcome playWith(NoteSource& notes, const SettingsChoice& settings, ProgramState& state,
                       std::ostream& messages, const RenderProgress& progress,
                       const std::optional<StepsPerUnit>& tuning) {
    RandomSource random;
    applySettings(state, settings);
    std::optional<TunedSpeeds> tuned;
    if (tuning) {
        tuned = tunedSpeeds(*tuning, state.MaxXYSpeed, state.MaxZSpeed);
    }
    return playNotes(notes, state, random, messages, progress, tuned ? &*tuned : nullptr);
}

} // namespace

RenderOutcome renderMoves(NoteSource& notes, const SettingsChoice& settings, MoveSink& moves,
                          std::ostream& messages, const RenderProgress& progress,
                          const std::optional<StepsPerUnit>& tuning) {
    ProgramState state;
    state.Moves = &moves;
    return playWith(notes, settings, state, messages, progress, tuning);
}

/// The journal is a file without a name, so an interrupted render leaves nothing behind, and
/// nothing is left to clean up once the output is written.
RenderOutcome renderPart(NoteSource& notes, const SettingsChoice& settings, std::ostream& out,
                         std::ostream& messages, const RenderProgress& progress,
                         const std::optional<StepsPerUnit>& tuning) {
    ProgramState state;
    auto spool = std::make_unique<JournalSpool>();
    state.TuneStream.attach(std::make_unique<std::ostream>(spool.get()));
    const RenderOutcome outcome = playWith(notes, settings, state, messages, progress, tuning);
    state.TuneStream.close();
    spool->rewind();
    std::istream journal(spool.get());
    writePartFile(journal, out, headerValues(state));
    return outcome;
}

RenderOutcome renderPartFile(NoteSource& notes, const SettingsChoice& settings,
                             const std::filesystem::path& out, std::ostream& messages,
                             const RenderProgress& progress,
                             const std::optional<StepsPerUnit>& tuning) {
    AtomicOutputFile file(out);
    RenderOutcome outcome;
    try {
        outcome = renderPart(notes, settings, file.stream(), messages, progress, tuning);
    } catch (const InputFailure&) {
        throw;
    } catch (const Failure& failure) {
        if (file.stream()) {
            throw;
        }
        throw Failure(out.string() + ": " + failure.what()); // the writer knows no name
    }
    file.commit();
    return outcome;
}

} // namespace chimex
