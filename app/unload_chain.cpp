// SPDX-License-Identifier: MIT
#include "unload_chain.h"

#include "partfile/finaliser.h"

namespace chimex {

void UnloadChain::run() {
    if (hasRun_) {
        return;
    }
    hasRun_ = true;
    // Start-up failed before the journal was opened: there is no tune to finish.
    if (!state_.TuneStream.isOpen()) {
        return;
    }
    state_.TuneStream.close();
    finalisePartFile(state_.TuneFile, platform_.programFolder(), headerValues(state_));
}

} // namespace chimex
