// SPDX-License-Identifier: MIT
#include "render.h"

#include "partfile/number_text.h"
#include "cli/render/journal_spool.h"
#include "core/note_capture.h"
#include "partfile/atomic_output_file.h"
#include "partfile/finaliser.h"
#include "platform/failure.h"

#include <cmath>
#include <istream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace chimex {
namespace {

void checkNote(const ScoreNote& note, long long index) {
    const std::string where = "note " + std::to_string(index) + ": ";
    if (note.key < 0 || note.key >= keyCount) {
        throw InputFailure(where + "key " + std::to_string(note.key) + " is not one of 0 to 36");
    }
    for (const auto& [time, what] : {std::pair{note.hold, "held for"}, {note.gap, "a gap of"}}) {
        if (!(std::isfinite(time) && time >= 0 && time < longestScoreTime)) {
            throw InputFailure(where + what + " " + shortestText(time) +
                               " seconds; times must be at least 0 and less than a day (86400 "
                               "seconds)");
        }
    }
}

constexpr long long progressEvery = 1 << 16;

/// Whether the placed note's speed was moved down by octaves; the last draw (MoveChoice 1 to 6)
/// names the axis it went on.
bool wasLowered(const TunedSpeeds& tuned, int key, std::int32_t moveChoice) {
    const auto i = static_cast<std::size_t>(key);
    return moveChoice >= 5 ? tuned.zLowered[i] : tuned.xyLowered[i];
}

} // namespace

// The clock is scripted so that differences come out exact whatever precision note capture
// subtracts in: every press reads 0, a release reads minus the next note's gap (its NoteEnd, from
// which that press measures the gap) and then the hold (the duration reading). Hence one note of
// look-ahead.
RenderOutcome playNotes(NoteSource& notes, ProgramState& state, HeadlessPlatform& platform,
                        const RenderProgress& progress, const TunedSpeeds* tuned) {
    RenderOutcome outcome;
    // Built once for the whole render: building a path costs more than the rest of a press.
    const std::vector<std::filesystem::path> sounds = soundPaths(platform.folders().notes);
    const auto press = [&](int key) {
        keyPress(state, platform, key, sounds[static_cast<std::size_t>(key)]);
    };
    const auto release = [&](int key) {
        if (tuned) {
            const auto i = static_cast<std::size_t>(key);
            keyRelease(state, platform, key, tuned->xy[i], tuned->z[i]);
        } else {
            keyRelease(state, platform, key);
        }
    };
    std::optional<ScoreNote> current = notes.next();
    long long index = 1;
    if (current) {
        checkNote(*current, index);
        platform.scriptClock({0.0});
        press(current->key);
    }
    while (current) {
        std::optional<ScoreNote> following = notes.next();
        if (following) {
            checkNote(*following, index + 1);
        }
        platform.scriptClock({following ? -following->gap : 0.0, current->hold});
        release(current->key);
        if (platform.playingEnded()) {
            outcome.noRoom = true;
            break;
        }
        ++outcome.notesPlaced;
        outcome.notesLowered += tuned && wasLowered(*tuned, current->key, state.MoveChoice) ? 1 : 0;
        if (progress && outcome.notesPlaced % progressEvery == 0) {
            progress(outcome.notesPlaced);
        }
        if (following) {
            platform.scriptClock({0.0});
            press(following->key);
        }
        current = following;
        ++index;
    }
    return outcome;
}

/// The journal is a file without a name, so an interrupted render leaves nothing behind, and
/// nothing is left to clean up once the output is written.
RenderOutcome renderPart(NoteSource& notes, const SettingsChoice& settings, std::ostream& out,
                         std::ostream& messages, const RenderProgress& progress,
                         const std::optional<MotorTuning>& tuning) {
    ProgramState state;
    HeadlessPlatform platform({}, messages);
    applySettings(state, settings);
    std::optional<TunedSpeeds> tuned;
    if (tuning) {
        tuned = tunedSpeeds(tuning->stepsPerUnit, tuning->zStepsPerUnit, state.MaxXYSpeed,
                            state.MaxZSpeed);
    }
    auto spool = std::make_unique<JournalSpool>();
    state.TuneStream.attach(std::make_unique<std::ostream>(spool.get()));
    const RenderOutcome outcome =
        playNotes(notes, state, platform, progress, tuned ? &*tuned : nullptr);
    state.TuneStream.close();
    spool->rewind();
    std::istream journal(spool.get());
    writePartFile(journal, out, headerValues(state));
    return outcome;
}

RenderOutcome renderPartFile(NoteSource& notes, const SettingsChoice& settings,
                             const std::filesystem::path& out, std::ostream& messages,
                             const RenderProgress& progress,
                             const std::optional<MotorTuning>& tuning) {
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
