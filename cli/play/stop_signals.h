// SPDX-License-Identifier: MIT
#pragma once

#include <csignal>

namespace chimex {

/// While it lives, SIGINT, SIGTERM and SIGHUP (Ctrl+C, a kill, a closed terminal) only set a flag
/// that the player polls, so that the machine is stopped before the program ends; the handlers
/// before it come back when it ends. A signal also closes standard input, so that a wait for
/// Enter ends at once. One at a time in a process.
class StopSignals {
  public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    /// True once one of the signals came.
    bool asked() const;

  private:
    struct sigaction before_[3];
};

} // namespace chimex
