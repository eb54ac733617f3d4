// SPDX-License-Identifier: MIT
#include "start_up.h"

#include "core/note_capture.h"
#include "settings/settings_file.h"

#include <exception>

namespace chimex {

namespace {

SaveDialogOptions tuneDialogOptions(Platform& platform) {
    return {tuneDialogTitle, platform.programFolder(), tuneFilterDescription, tuneFilterPattern,
            tuneDefaultName};
}

/// Shows the dialog (again after every No) until a name is accepted; false when cancelled.
bool askForTuneFile(ProgramState& state, Platform& platform) {
    for (;;) {
        const auto chosen = platform.saveFileDialog(tuneDialogOptions(platform));
        if (!chosen) {
            return false;
        }
        state.TuneFile = chosen->string();
        if (!platform.fileExists(*chosen)) {
            return true;
        }
        if (platform.messageBox(fileExistsPrompt, fileExistsTitle, MessageStyle::YesNo) ==
            MessageButton::Yes) {
            return true;
        }
    }
}

} // namespace

void chooseTuneFile(ProgramState& state, Platform& platform) {
    bool accepted = false;
    try {
        accepted = askForTuneFile(state, platform);
    } catch (const std::exception&) {
        // Whatever failed while asking, the user is asked to start again; nothing was written.
        accepted = false;
    }
    if (accepted) {
        state.StartStatus = tuneChosen;
        return;
    }
    platform.messageBox(tryAgainPrompt, tryAgainTitle, MessageStyle::Ok);
    state.StartStatus = noTuneChosen;
}

bool runStartUp(ProgramState& state, Platform& platform, SettingsForm& settings) {
    chooseTuneFile(state, platform);
    if (state.StartStatus != tuneChosen) {
        platform.endProgram();
        return false;
    }
    // The sounds load only now that a tune is coming, and finish while the settings dialog is up.
    platform.preloadSounds(soundPaths(platform.programFolder()));
    readSettingsFile(state, platform, settings);
    settings.load();
    settings.showModal();
    state.TuneStream.open(state.TuneFile);
    state.TopXYSpeed = 0;
    state.TopZSpeed = 0;
    return true;
}

} // namespace chimex
