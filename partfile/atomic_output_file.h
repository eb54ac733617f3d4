// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <fstream>

namespace chimex {

/// A file that appears at its path whole or not at all: written under a fresh name beside it and
/// renamed into place by commit(). Without commit the partial file is removed.
class AtomicOutputFile {
  public:
    /// Throws Failure when the file beside `target` cannot be created.
    explicit AtomicOutputFile(std::filesystem::path target);
    ~AtomicOutputFile();
    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

    std::ostream& stream() { return stream_; }
    /// Closes the file, syncs it to the disk and renames it to the target path, replacing what was
    /// there, then syncs the folder. Throws Failure when writing, syncing or renaming fails; the
    /// target is then left as it was (unless only the folder's sync failed, which says so).
    void commit();

  private:
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    std::ofstream stream_;
    bool committed_ = false;
};

/// A name beside `target` that no file has yet: ".NAME.XXXXXXXXXX.tmp".
std::filesystem::path freshSiblingPath(const std::filesystem::path& target);

} // namespace chimex
