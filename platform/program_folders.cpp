// SPDX-License-Identifier: MIT
#include "program_folders.h"

#include "files/failure.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace chimex {
namespace fs = std::filesystem;

namespace {

/// An XDG base folder: the variable's value when it is an absolute path, else the fallback below
/// the home folder (the base-directory rules say a relative value is to be ignored).
fs::path baseFolder(const std::string& variable, const fs::path& home, const fs::path& fallback) {
    const fs::path value = variable;
    return value.is_absolute() ? value : home / fallback;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

fs::path passwordHome() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr) {
        return {};
    }
    return found->pw_dir;
}

} // namespace

ProgramFolders portableFolders(const fs::path& programFolder) {
    return {programFolder / "notes", programFolder, programFolder, programFolder, false};
}

ProgramFolders findProgramFolders(const fs::path& executableFolder, const UserFolders& user) {
    std::error_code error;
    if (fs::is_directory(executableFolder / "notes", error)) {
        return portableFolders(executableFolder);
    }
    return {(executableFolder / ".." / "share" / "chimex" / "notes").lexically_normal(),
            baseFolder(user.configHome, user.home, ".config") / "chimex",
            baseFolder(user.stateHome, user.home, fs::path(".local") / "state") / "chimex",
            user.home, true};
}

UserFolders userFolders() {
    fs::path home = environment("HOME");
    if (home.empty()) {
        home = passwordHome();
    }
    return {home, environment("XDG_CONFIG_HOME"), environment("XDG_STATE_HOME")};
}

fs::path executableFolder() {
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::current_path() : executable.parent_path();
}

void createFolder(const fs::path& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        throw Failure("Cannot create the folder " + folder.string() + ": " + error.message());
    }
}

std::string folderRuleHelp() {
    return R"(Files:
  A copy with a notes/ folder beside the executable (the build's run folder, or a folder it
  was unpacked into) keeps everything there: the key sounds in notes/, the settings in
  Chimex.ini and the finaliser's temporary file Chimex.tmp. An installed copy reads the key
  sounds from <prefix>/share/chimex/notes/ and keeps Chimex.ini in $XDG_CONFIG_HOME/chimex/
  (default ~/.config/chimex/) and Chimex.tmp in $XDG_STATE_HOME/chimex/ (default
  ~/.local/state/chimex/); these folders are made when first needed.
)";
}

std::string foldersInUse(const ProgramFolders& folders) {
    return std::string("This copy is ") + (folders.installed ? "installed" : "portable") +
           ":\n  key sounds  " + folders.notes.string() + "\n  settings    " +
           (folders.settings / "Chimex.ini").string() + "\n  temporary   " +
           (folders.state / "Chimex.tmp").string() + "\n";
}

} // namespace chimex
