// SPDX-License-Identifier: MIT
#pragma once

#include "core/program_state.h"
#include "platform/program_files.h"
#include "settings/settings_view.h"

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace chimex {

inline constexpr const char* settingsFileName = "Chimex.ini";

/// Where Chimex.ini stands among the program's folders.
inline std::filesystem::path settingsFilePath(const ProgramFolders& folders) {
    return folders.settings / settingsFileName;
}

/// Reads Chimex.ini from the program folder, when anything stands there, into MaxX..MaxZSpeed and
/// the dialog's fields and check box. Without a file nothing is touched. Throws InputFailure
/// naming the file and the reason when it cannot be read (also a folder, FIFO or broken link).
void readSettingsFile(ProgramState& state, const ProgramFiles& files, SettingsView& view);

/// The one settings file reader of both programs: readSettings on the file at `path`, read
/// without ever waiting on a FIFO or device. Nothing when nothing stands at `path`; otherwise the
/// keys readSettings refused. Throws InputFailure as above.
std::optional<std::vector<std::string>> readSettingsFile(const std::filesystem::path& path,
                                                         ProgramState& state, SettingsView& view);

/// readSettingsFile for a program without the settings dialog (chimex-cli), refusing what the
/// dialog would not take. Throws InputFailure naming the file when nothing stands at `path`, a
/// value does not fit, or MaxXYSpeed is not above 0 (a missing key reads as 0), and as above.
void readSettingsStrictly(const std::filesystem::path& path, ProgramState& state,
                          SettingsView& view);

/// Replaces Chimex.ini with the six lines for the five settings and the pause state; written
/// beside it and renamed into place. Throws Failure naming the file when that fails.
void writeSettingsFile(const ProgramState& state, const ProgramFiles& files, int pauseState);

/// The reader's work on an open settings text: applies every recognised line, then sets the five
/// fields from the settings. Lines end at CR LF, CR or LF; a UTF-8 byte-order mark at the start is
/// ignored. Zero and negative values are taken as they are. Values beyond the single-precision
/// range, an ADDPAUSE that does not round to 0, 1 or 2, and recognised keys without "=" are
/// skipped; a setting whose last value does not fit shows that value's text in its field, for the
/// dialog's commit to refuse. Returns the keys (as the writer writes them) skipped for a value
/// that does not fit.
std::vector<std::string> readSettings(std::istream& in, ProgramState& state, SettingsView& view);

/// The six lines of the settings file, each ended by CR LF.
void writeSettings(std::ostream& out, const ProgramState& state, int pauseState);

} // namespace chimex
