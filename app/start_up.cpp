// SPDX-License-Identifier: MIT
#include "start_up.h"

#include "app/tune_file_check.h"
#include "core/note_capture.h"
#include "files/atomic_output_file.h"
#include "files/failure.h"
#include "settings/settings_commit.h"
#include "settings/settings_file.h"

#include <exception>
#include <string>

namespace chimex {

namespace {

SaveDialogOptions tuneDialogOptions(const Platform& platform) {
    return {tuneDialogTitle, platform.files.folders().tunes, tuneFilterDescription,
            tuneFilterPattern, tuneDefaultName};
}

/// Shows the dialog (again after every No or refused name) until a name is accepted; false when
/// cancelled.
bool askForTuneFile(ProgramState& state, const Platform& platform) {
    for (;;) {
        const auto chosen = platform.dialogs.saveFileDialog(tuneDialogOptions(platform));
        if (!chosen) {
            return false;
        }
        // A link is followed once, here, so that the finished file replaces its target.
        const std::filesystem::path tune = followLinks(*chosen);
        if (const auto refusal = tuneFileRefusal(tune, platform.files.folders())) {
            platform.dialogs.messageBox(*refusal + " Please choose another name.", cannotUseTitle,
                                        MessageStyle::Ok);
            continue;
        }
        state.TuneFile = tune.string();
        if (!platform.files.fileExists(tune)) {
            return true;
        }
        // Locked before it is looked at, so that a tune another copy plays now is not taken for
        // one left unfinished.
        if (!platform.files.lockTuneFile(tune)) {
            platform.dialogs.messageBox(inUseMessage(tune) + " Please choose another name.",
                                        cannotUseTitle, MessageStyle::Ok);
            continue;
        }
        if (const auto leftover = leftoverJournalMessage(tune)) {
            platform.dialogs.messageBox(*leftover, unfinishedTitle, MessageStyle::Ok);
        }
        if (platform.dialogs.messageBox(fileExistsPrompt, fileExistsTitle, MessageStyle::YesNo) ==
            MessageButton::Yes) {
            return true;
        }
    }
}

} // namespace

void chooseTuneFile(ProgramState& state, const Platform& platform) {
    bool accepted = false;
    std::string prompt = tryAgainPrompt;
    try {
        accepted = askForTuneFile(state, platform);
    } catch (const std::exception& failure) {
        // Whatever failed while asking, the user is told what and asked to start again; nothing
        // was written.
        prompt = std::string(failure.what()) + "\n\n" + tryAgainPrompt;
    }
    if (accepted) {
        state.StartStatus = tuneChosen;
        return;
    }
    platform.dialogs.messageBox(prompt, tryAgainTitle, MessageStyle::Ok);
    state.StartStatus = noTuneChosen;
}

std::optional<StartRefusal> stateFolderRefusal(const std::filesystem::path& folder,
                                               std::error_code made, const FolderLock& lock) {
    const std::error_code problem = made ? made : lock.problem();
    if (problem) {
        return StartRefusal{"Cannot start",
                            "Chimex Vedadazu cannot start: the folder " + folder.string() +
                                " for its files cannot be made or used: " + problem.message() +
                                "."};
    }
    if (lock.held()) {
        return std::nullopt;
    }
    return StartRefusal{"Already running",
                        "Chimex Vedadazu cannot start: it is already running with the files in " +
                            folder.string() + ". Finish the tune there before starting it again."};
}

bool runStartUp(ProgramState& state, const Platform& platform, ModalSettingsView& settings) {
    chooseTuneFile(state, platform);
    if (state.StartStatus != tuneChosen) {
        platform.lifetime.endProgram();
        return false;
    }
    // The sounds load only now that a tune is coming, and finish while the settings dialog is up.
    platform.sound.preloadSounds(soundPaths(platform.files.folders().notes));
    settleSettings(
        state,
        [&] {
            readSettingsFile(state, platform.files, settings);
            settings.load();
        },
        [&] { settings.showModal(); });
    // A new tune file is locked only now that it is made: another copy may have chosen the same
    // name meanwhile, and its journal must not be emptied.
    if (!platform.files.lockTuneFile(state.TuneFile)) {
        throw Failure(inUseMessage(state.TuneFile) + " Nothing was written to it.");
    }
    state.TuneStream.open(state.TuneFile);
    return true;
}

} // namespace chimex
