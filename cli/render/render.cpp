// SPDX-License-Identifier: MIT
#include "render.h"

#include "cli/common/scratch_folder.h"
#include "cli/render/journal_spool.h"
#include "core/note_capture.h"
#include "partfile/atomic_output_file.h"
#include "partfile/finaliser.h"
#include "platform/failure.h"

#include <cmath>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace chimex {
namespace {

void checkNote(const ScoreNote& note, long long index) {
    const auto inRange = [](double t) {
        return std::isfinite(t) && t >= 0 && t < longestScoreTime;
    };
    if (note.key < 0 || note.key >= keyCount || !inRange(note.hold) || !inRange(note.gap)) {
        throw InputFailure(
            "note " + std::to_string(index) +
            ": the key must be 0 to 36 and the times at least 0 and less than 86400 seconds");
    }
}

constexpr long long progressEvery = 1 << 16;

} // namespace

// The clock is scripted so that differences come out exact whatever precision note capture
// subtracts in: every press reads 0, a release reads minus the next note's gap (its NoteEnd, from
// which that press measures the gap) and then the hold (the duration reading). Hence one note of
// look-ahead.
RenderOutcome playNotes(NoteSource& notes, ProgramState& state, HeadlessPlatform& platform,
                        const RenderProgress& progress) {
    RenderOutcome outcome;
    // Built once for the whole render: building a path costs more than the rest of a press.
    const std::vector<std::filesystem::path> sounds = soundPaths(platform.folders().notes);
    const auto press = [&](int key) {
        keyPress(state, platform, key, sounds[static_cast<std::size_t>(key)]);
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
        keyRelease(state, platform, current->key);
        if (platform.playingEnded()) {
            outcome.noRoom = true;
            break;
        }
        ++outcome.notesPlaced;
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

RenderOutcome renderPartFile(NoteSource& notes, const SettingsChoice& settings,
                             const std::filesystem::path& out, std::ostream& messages,
                             const RenderProgress& progress) {
    ScratchFolder scratch;
    HeadlessPlatform platform(scratch.path(), messages);
    ProgramState state;
    applySettings(state, settings);
    const auto journalPath = scratch.path() / "journal.txt";
    auto spool = std::make_unique<JournalSpool>(journalPath);
    state.TuneStream.attach(std::make_unique<std::ostream>(spool.get()));
    const RenderOutcome outcome = playNotes(notes, state, platform, progress);
    state.TuneStream.close();
    spool->finish();
    {
        std::ifstream journal(journalPath, std::ios::binary);
        if (!journal.is_open()) {
            throw Failure("Cannot read back the journal " + journalPath.string());
        }
        AtomicOutputFile file(out);
        writePartFile(journal, file.stream(), headerValues(state));
        file.commit();
    }
    scratch.remove();
    return outcome;
}

} // namespace chimex
