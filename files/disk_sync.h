// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <system_error>

namespace chimex {

/// Waits until the data written to the open file `fd` (and the size needed to read it back) is on
/// the disk, not only with the operating system. Retries when interrupted. Files that cannot be
/// synced (devices, pipes, file systems without it) count as synced: only a failing disk errs.
std::error_code syncFileData(int fd);

/// The same for a file by its path: data and metadata, as before renaming it into place.
std::error_code syncFile(const std::filesystem::path& path);

/// Makes the names in `folder` durable (a file created or renamed there survives a power cut).
/// An empty path stands for the current folder; one the user may not read is left as it is.
std::error_code syncFolder(const std::filesystem::path& folder);

/// The folder that holds `path`: its parent, or "." for a bare file name.
std::filesystem::path folderOf(const std::filesystem::path& path);

} // namespace chimex
