// SPDX-License-Identifier: MIT
#pragma once

#include "files/pending_removal.h"

#include <ext/stdio_filebuf.h>

#include <filesystem>
#include <memory>
#include <ostream>
#include <system_error>

namespace chimex {

/// A file that appears at its path whole or not at all: written as an unnamed file in the target's
/// folder and named by commit() (where the file system has no unnamed files, under a fresh name
/// that an ending signal removes). Without commit nothing is left. A replaced file keeps its
/// mode (and owner, for root). A symbolic link is followed, so its target is replaced and the
/// link kept; a device or FIFO is written directly.
class AtomicOutputFile {
  public:
    /// Throws Failure when `target` names a folder or a read-only file, or when the file beside
    /// it cannot be created; nothing has been written then.
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
    void place(int fd);
    void placeUnnamed(int fd);
    void moveIntoPlace(std::error_code error);

    std::filesystem::path target_;
    std::filesystem::path temporary_; ///< the fresh name, when the file system needs one
    bool direct_ = false;             ///< a device or FIFO, written as it stands
    std::unique_ptr<PendingRemoval> pending_;
    std::unique_ptr<__gnu_cxx::stdio_filebuf<char>> buffer_;
    std::ostream stream_{nullptr};
    bool committed_ = false;
};

/// A name beside `target` that no file has yet: ".NAME.XXXXXXXXXX.tmp".
std::filesystem::path freshSiblingPath(const std::filesystem::path& target);

/// The path with every symbolic link along the way followed (also one whose target does not
/// exist yet), so that replacing the result keeps the links. Throws Failure on a link loop.
std::filesystem::path followLinks(const std::filesystem::path& path);

/// True for an existing file without any write permission. Renaming over it would ignore that,
/// even for root, so whoever replaces a file asks this first.
bool isReadOnly(const std::filesystem::path& path);

/// Throws Failure when `path` cannot name a file to write: it is a folder, or ends in "/".
void refuseFolder(const std::filesystem::path& path);

/// The system's reason for the last failed call, as the user reads it.
std::string systemReason();

} // namespace chimex
