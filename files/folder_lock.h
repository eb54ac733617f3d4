// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <system_error>

namespace chimex {

/// An advisory lock on a folder, held while the object lives, so that two copies of the program
/// never share the files in it. The system releases it when the process ends, however it ends.
class FolderLock {
  public:
    explicit FolderLock(const std::filesystem::path& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    /// False when another copy holds the lock or the folder cannot be opened (see problem()).
    bool held() const { return held_; }
    /// Why the folder could not be opened or locked, other than another copy holding it.
    std::error_code problem() const { return problem_; }

  private:
    int fd_ = -1;
    bool held_ = false;
    std::error_code problem_;
};

/// An advisory lock on the tune file, so that two copies with different program folders never
/// play into the same file. Released when the object goes or the process ends.
class FileLock {
  public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    /// Locks the file at `path`, creating it empty when missing, and lets go of the file locked
    /// before. False only when another process holds it; a file that cannot be opened or a file
    /// system without locks is left to the writing that follows.
    bool lock(const std::filesystem::path& path);

  private:
    void release();

    int fd_ = -1;
};

} // namespace chimex
