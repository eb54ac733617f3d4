// SPDX-License-Identifier: MIT
#pragma once

#include "platform/program_folders.h"

#include <filesystem>
#include <optional>
#include <string>

namespace chimex {

inline constexpr const char* cannotUseTitle = "Choose another name";

/// Why the chosen path cannot be the tune file, or nothing when it can: it exists and is not an
/// ordinary file (a folder, device or pipe would be copied without end or hang the program), it
/// is read-only or a program, or it is one of the program's own files: the
/// settings file, the finaliser's temporary file, anything in the key sounds' folder and, for an
/// installed copy, anything in its settings and state folders. `chosen` has its links followed
/// already.
std::optional<std::string> tuneFileRefusal(const std::filesystem::path& chosen,
                                           const ProgramFolders& folders);

/// Says that another copy of the program is playing into `tuneFile` now.
std::string inUseMessage(const std::filesystem::path& tuneFile);

inline constexpr const char* unfinishedTitle = "Unfinished tune";

/// The message for a tune file that still holds the journal of a run that ended without
/// finishing it, or nothing for any other file: it begins with the lines the program writes into
/// a journal (a blank line and a speed line, or a pause line), not with anything else.
std::optional<std::string> leftoverJournalMessage(const std::filesystem::path& tuneFile);

} // namespace chimex
