// SPDX-License-Identifier: MIT
#include "atomic_output_file.h"

#include "cli/scratch_folder.h"
#include "platform/failure.h"

namespace chimex {

AtomicOutputFile::AtomicOutputFile(std::filesystem::path target)
    : target_(std::move(target)), temporary_(freshSiblingPath(target_)) {
    stream_.open(temporary_, std::ios::binary | std::ios::trunc);
    if (!stream_.is_open()) {
        throw Failure("Cannot create " + temporary_.string() + " to write " + target_.string());
    }
}

AtomicOutputFile::~AtomicOutputFile() {
    if (!committed_) {
        // The failure that prevented the commit is already on its way to the user.
        stream_.close();
        std::error_code error;
        std::filesystem::remove(temporary_, error);
    }
}

void AtomicOutputFile::commit() {
    stream_.close();
    if (!stream_) {
        throw Failure("Cannot write " + temporary_.string() + " (disk full?)");
    }
    std::error_code error;
    std::filesystem::rename(temporary_, target_, error);
    if (error) {
        throw Failure("Cannot put the output file at " + target_.string() + ": " + error.message());
    }
    committed_ = true;
}

} // namespace chimex
