// SPDX-License-Identifier: MIT
#include "tune_file_check.h"

#include "partfile/atomic_output_file.h"
#include "partfile/finaliser.h"
#include "platform/failure.h"
#include "platform/own_file.h"
#include "settings/settings_file.h"

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

/// True for text that begins as the program's own journal does: a move block (a blank line, then
/// an X-and-Y or Z speed line) or a pause line, each line ended by CR LF.
bool startsAsJournal(std::string_view text) {
    return text.starts_with("\r\nJS, ") || text.starts_with("\r\nJS,, ") ||
           text.starts_with("PAUSE, ");
}

} // namespace

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
    if (samePlace(chosen, folders.settings / settingsFileName) ||
        samePlace(chosen, folders.state / temporaryFileName)) {
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
