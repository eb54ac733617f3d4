// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>

namespace chimex {

/// A private folder in the system's temporary folder, removed with everything in it when done.
class ScratchFolder {
  public:
    /// Throws Failure when no folder can be created.
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    /// Removes the folder now; throws Failure when that fails.
    void remove();

  private:
    std::filesystem::path path_;
};

} // namespace chimex
