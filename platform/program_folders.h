// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <string>

namespace chimex {

/// Where the program's files live, decided once at start-up.
struct ProgramFolders {
    std::filesystem::path notes;    ///< the key sounds 0.wav to 36.wav
    std::filesystem::path settings; ///< Chimex.ini
    std::filesystem::path state;    ///< Chimex.tmp, the finaliser's temporary file
    std::filesystem::path tunes;    ///< where the tune-file dialog opens
    bool installed = false;         ///< false: the portable layout

    bool operator==(const ProgramFolders&) const = default;
};

/// The user's folders the installed layout is built from, as the environment gives them.
struct UserFolders {
    std::filesystem::path home;
    std::string configHome; ///< $XDG_CONFIG_HOME, empty when unset
    std::string stateHome;  ///< $XDG_STATE_HOME, empty when unset
};

/// Everything in `programFolder`: the sounds in notes/, Chimex.ini and Chimex.tmp beside the
/// program, and the tune-file dialog opening there.
ProgramFolders portableFolders(const std::filesystem::path& programFolder);

/// Portable when a notes/ folder stands beside the executable. Otherwise installed: the sounds in
/// <prefix>/share/chimex/notes/ relative to the executable's bin/ folder, Chimex.ini in
/// $XDG_CONFIG_HOME/chimex/ and Chimex.tmp in $XDG_STATE_HOME/chimex/ (~/.config and
/// ~/.local/state when unset, empty or relative), the dialog opening in the home folder.
ProgramFolders findProgramFolders(const std::filesystem::path& executableFolder,
                                  const UserFolders& user);

/// HOME (the password entry's home when unset), XDG_CONFIG_HOME and XDG_STATE_HOME.
UserFolders userFolders();

/// The folder of the running executable.
std::filesystem::path executableFolder();

/// Creates `folder` and its parents when missing; throws Failure naming it when that fails.
void createFolder(const std::filesystem::path& folder);

/// The help paragraph that says where the files are kept, in general.
std::string folderRuleHelp();

/// One line per file naming where this copy keeps it.
std::string foldersInUse(const ProgramFolders& folders);

} // namespace chimex
