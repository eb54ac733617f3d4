// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>

namespace chimex {

/// A half-written file that a signal ending the process must not leave behind. While the object
/// lives, the signals set up by removeOnEndingSignals() remove the file before the process ends.
class PendingRemoval {
  public:
    explicit PendingRemoval(const std::filesystem::path& path);
    ~PendingRemoval();
    PendingRemoval(const PendingRemoval&) = delete;
    PendingRemoval& operator=(const PendingRemoval&) = delete;

  private:
    int slot_ = -1; ///< -1 when the table was full or the path too long
};

/// Makes SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGXFSZ remove every pending file, then end the
/// process as the signal would have. For a program without handlers of its own for them.
void removeOnEndingSignals();

} // namespace chimex
