// SPDX-License-Identifier: MIT
#include "tune_file_check.h"

#include "files/atomic_output_file.h"
#include "files/failure.h"
#include "files/own_file.h"
#include "partfile/finaliser.h"
#include "settings/settings_file.h"

#include <algorithm>
#include <fstream>
#include <string_view>

namespace chimex {
namespace fs = std::filesystem;
namespace {

/// The same file, or the same place for one that does not exist yet.
bool samePlace(const fs::path& a, const fs::path& b) {
    std::error_code error;
    if (fs::exists(a, error) && fs::exists(b, error)) {
        return fs::equivalent(a, b, error);
    }
    return fs::weakly_canonical(a, error) == fs::weakly_canonical(b, error);
}

/// True when `path` lies inside `folder` (or below it).
bool inFolder(const fs::path& path, const fs::path& folder) {
    std::error_code error;
    const fs::path file = fs::weakly_canonical(path, error);
    const fs::path base = fs::weakly_canonical(folder, error);
    const auto [end, rest] = std::mismatch(base.begin(), base.end(), file.begin(), file.end());
    return !base.empty() && end == base.end() && rest != file.end();
}

/// A file the system can run: a run bit and a program's first bytes (a machine program or a
/// script). The run bit alone is not enough, as some file systems give it to every file.
bool isProgram(const fs::path& path, const fs::file_status& status) {
    constexpr auto anyRun = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
    if (!fs::is_regular_file(status) || (status.permissions() & anyRun) == fs::perms::none) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    char start[4] = {};
    in.read(start, sizeof start);
    const std::string_view first(start, static_cast<std::size_t>(in.gcount()));
    return first.starts_with("\x7f"
                             "ELF") ||
           first.starts_with("#!");
}

bool isOwnFile(const fs::path& chosen, const ProgramFolders& folders) {
    if (samePlace(chosen, settingsFilePath(folders)) ||
        samePlace(chosen, folders.state / temporaryFileName) || inFolder(chosen, folders.notes)) {
        return true;
    }
    return folders.installed &&
           (inFolder(chosen, folders.settings) || inFolder(chosen, folders.state));
}

/// True for text that begins as the program's own journal does: a move block (a blank line, then
/// an X-and-Y or Z speed line) or a pause line, each line ended by CR LF.
bool startsAsJournal(std::string_view text) {
    return text.starts_with("\r\nJS, ") || text.starts_with("\r\nJS,, ") ||
           text.starts_with("PAUSE, ");
}

} // namespace

std::string inUseMessage(const fs::path& tuneFile) {
    return "\"" + tuneFile.string() +
           "\" is the tune of another copy of Chimex Vedadazu that is playing now.";
}

std::optional<std::string> tuneFileRefusal(const fs::path& chosen, const ProgramFolders& folders) {
    const std::string name = "\"" + chosen.string() + "\"";
    std::error_code error;
    const auto status = fs::status(chosen, error);
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        return name + " is not an ordinary file (a folder, device or pipe) and cannot hold a tune.";
    }
    if (isReadOnly(chosen)) {
        return name + " is read-only and cannot be replaced by your tune.";
    }
    if (isProgram(chosen, status)) {
        return name + " is a program and cannot be replaced by your tune.";
    }
    if (isOwnFile(chosen, folders)) {
        return name + " is the program's own file and cannot hold a tune.";
    }
    return std::nullopt;
}

std::optional<std::string> leftoverJournalMessage(const fs::path& tuneFile) {
    std::optional<std::string> start;
    try {
        start = readOrdinaryFileStart(tuneFile, 64);
    } catch (const InputFailure&) {
        return std::nullopt; // unreadable: nothing to keep
    }
    if (!start || !startsAsJournal(*start)) {
        return std::nullopt;
    }
    return "\"" + tuneFile.string() +
           "\" holds the notes of a tune that was not finished: the program ended while it was "
           "played. Using it again replaces those notes. To keep them, answer No and turn it into "
           "a part file with:\n\nchimex-cli finish \"" +
           tuneFile.string() + "\" -o FINISHED.gxp";
}

} // namespace chimex
