// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <fstream>

namespace chimex {

/// A file buffer for the move journal of a render. The desktop program flushes the journal after
/// every record so that a crash keeps the notes played; a render writes its output whole or not at
/// all, so here those flushes are deferred and the file is written in large blocks until finish().
class JournalSpool : public std::filebuf {
  public:
    /// Creates or empties the file; throws Failure when it cannot be opened.
    explicit JournalSpool(const std::filesystem::path& path);
    /// Writes what is left and closes the file; throws Failure when that fails.
    void finish();

  protected:
    int sync() override { return 0; }

  private:
    std::filesystem::path path_;
    char block_[1 << 20];
};

} // namespace chimex
