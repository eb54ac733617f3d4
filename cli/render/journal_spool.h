// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/scratch_file.h"

namespace chimex {

/// A scratch file for the move journal of a render. The desktop program flushes the journal after
/// every record so that a crash keeps the notes played; a render writes its output whole or not at
/// all, so here those flushes are deferred and the file is written in large blocks until
/// rewind().
class JournalSpool : public ScratchFile {
  public:
    JournalSpool() : ScratchFile(1 << 20) {}

  protected:
    int sync() override { return 0; }
};

} // namespace chimex
