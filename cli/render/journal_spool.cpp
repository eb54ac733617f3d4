// SPDX-License-Identifier: MIT
#include "journal_spool.h"

#include "platform/failure.h"

namespace chimex {

JournalSpool::JournalSpool(const std::filesystem::path& path) : path_(path) {
    setbuf(block_, sizeof block_);
    if (!open(path, std::ios::out | std::ios::binary | std::ios::trunc)) {
        throw Failure("Cannot create the journal " + path.string());
    }
}

void JournalSpool::finish() {
    if (std::filebuf::sync() != 0 || close() == nullptr) {
        throw Failure("Cannot write the journal " + path_.string() + " (disk full?)");
    }
}

} // namespace chimex
