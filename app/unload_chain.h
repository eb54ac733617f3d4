// SPDX-License-Identifier: MIT
#pragma once

#include "core/program_state.h"
#include "platform/program_files.h"

namespace chimex {

/// What the main window's unload does: close the journal so all of it is on disk, then turn it
/// into the finished part file. Runs at most once per run, whoever asks first.
class UnloadChain {
  public:
    UnloadChain(ProgramState& state, ProgramFiles& files) : state_(state), files_(files) {}

    /// Finishes the tune file when the journal is open; later calls do nothing. Throws Failure
    /// when closing or finishing fails (the chain still counts as run).
    void run();
    bool hasRun() const { return hasRun_; }

  private:
    ProgramState& state_;
    ProgramFiles& files_;
    bool hasRun_ = false;
};

} // namespace chimex
