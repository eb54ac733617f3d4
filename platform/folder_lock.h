// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>

namespace chimex {

/// An advisory lock on a folder, held while the object lives, so that two copies of the program
/// never share the files in it. The system releases it when the process ends, however it ends.
class FolderLock {
  public:
    explicit FolderLock(const std::filesystem::path& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    /// False when another copy holds the lock (or the folder cannot be opened).
    bool held() const { return held_; }

  private:
    int fd_ = -1;
    bool held_ = false;
};

} // namespace chimex
