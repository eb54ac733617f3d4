// SPDX-License-Identifier: MIT
#include "unload_chain.h"

#include "partfile/finaliser.h"
#include "platform/program_folders.h"

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
    const auto temporaryFolder = files_.folders().state;
    createFolder(temporaryFolder);
    finalisePartFile(state_.TuneFile, temporaryFolder, headerValues(state_));
}

} // namespace chimex
