// SPDX-License-Identifier: MIT
#pragma once

#include "platform/program_folders.h"

#include <filesystem>

namespace chimex {

/// The program's folders and the few file questions start-up asks.
class ProgramFiles {
  public:
    virtual ~ProgramFiles() = default;
    /// Where the sound files, the settings and the temporary file live; fixed for the whole run.
    virtual ProgramFolders folders() const = 0;
    /// True for any existing ordinary file, dot-files included (a folder counts as absent).
    virtual bool fileExists(const std::filesystem::path& path) const = 0;
    /// Holds a lock on the tune file for the rest of the run, creating the file empty when it is
    /// missing and letting go of an earlier one; false when another copy holds it.
    virtual bool lockTuneFile(const std::filesystem::path& path) = 0;
};

} // namespace chimex
