// SPDX-License-Identifier: MIT
#include "atomic_output_file.h"

#include "platform/disk_sync.h"
#include "platform/failure.h"

#include <random>
#include <string>

namespace chimex {
namespace {

std::string randomSuffix() {
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::random_device device;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof digits - 2);
    std::string suffix;
    for (int i = 0; i < 10; ++i) {
        suffix += digits[pick(device)];
    }
    return suffix;
}

} // namespace

std::filesystem::path freshSiblingPath(const std::filesystem::path& target) {
    const auto folder = target.parent_path();
    for (;;) {
        auto candidate =
            folder / ("." + target.filename().string() + "." + randomSuffix() + ".tmp");
        std::error_code error;
        if (!std::filesystem::exists(candidate, error) && !error) {
            return candidate;
        }
        if (error) {
            throw Failure("Cannot write beside " + target.string() + ": " + error.message());
        }
    }
}

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
    // The data reaches the disk before the rename, so a power cut leaves the old file or the new.
    std::error_code error = syncFile(temporary_);
    if (error) {
        throw Failure("Cannot write " + temporary_.string() + " to the disk: " + error.message());
    }
    std::filesystem::rename(temporary_, target_, error);
    if (error) {
        throw Failure("Cannot put the output file at " + target_.string() + ": " + error.message());
    }
    committed_ = true;
    error = syncFolder(folderOf(target_));
    if (error) {
        throw Failure("The output file " + target_.string() +
                      " is written, but its folder cannot be synced to the disk, so a power cut "
                      "may undo it: " +
                      error.message());
    }
}

} // namespace chimex
