// SPDX-License-Identifier: MIT
#pragma once

#include "app/modal_settings_view.h"
#include "core/program_state.h"
#include "files/folder_lock.h"
#include "platform/platform.h"

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace chimex {

inline constexpr const char* tuneDialogTitle = "Select a name for your tune";
inline constexpr const char* tuneFilterDescription = " Gantrix (*.gxp)";
inline constexpr const char* tuneFilterPattern = "*.gxp";
inline constexpr const char* tuneDefaultName = "Chimex";
inline constexpr const char* fileExistsPrompt =
    "Tune name already exist...do you still want to use it";
inline constexpr const char* fileExistsTitle = "File exists!";
inline constexpr const char* tryAgainPrompt =
    "To continue you must select a name for your hole file ...please try again";
inline constexpr const char* tryAgainTitle = "Try Again";

inline constexpr short tuneChosen = 9;
inline constexpr short noTuneChosen = 1;

/// Asks for the tune file's name until one is accepted: TuneFile = the path as the dialog returns
/// it, links followed, and StartStatus = 9. A path that cannot hold a tune (tuneFileRefusal) is
/// refused with a message and the dialog shown again. A cancel, or any failure on the way, shows
/// "Try Again" (after the failure's message) and sets StartStatus = 1.
void chooseTuneFile(ProgramState& state, const Platform& platform);

/// A message box that stops the program before it starts.
struct StartRefusal {
    std::string title;
    std::string prompt;
};

/// Why this copy cannot start with its own files in `folder` (`made` is the outcome of making
/// it): the folder cannot be made or used (the reason named), or another copy holds its lock.
std::optional<StartRefusal> stateFolderRefusal(const std::filesystem::path& folder,
                                               std::error_code made, const FolderLock& lock);

/// The main window's load step. Returns true when playing can begin: a tune file was chosen, the
/// sounds were preloaded, the settings were read, shown and committed, the tune file is open as the
/// journal and the fastest speeds are cleared. Without a tune file it calls
/// platform.lifetime.endProgram() and returns false, with nothing read or written. Other failures
/// throw Failure.
bool runStartUp(ProgramState& state, const Platform& platform, ModalSettingsView& settings);

} // namespace chimex
