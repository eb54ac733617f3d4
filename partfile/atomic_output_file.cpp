// SPDX-License-Identifier: MIT
#include "atomic_output_file.h"

#include "platform/disk_sync.h"
#include "platform/failure.h"

#include <cerrno>
#include <random>
#include <string>
#include <system_error>

namespace chimex {
namespace fs = std::filesystem;
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

/// Devices and FIFOs cannot be replaced by a file beside them; they are written as they stand.
bool writtenDirectly(const fs::path& path) {
    std::error_code error;
    const auto type = fs::status(path, error).type();
    return type == fs::file_type::character || type == fs::file_type::block ||
           type == fs::file_type::fifo || type == fs::file_type::socket;
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

std::filesystem::path followLinks(const std::filesystem::path& path) {
    fs::path current = path;
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(current, error)) {
            return current;
        }
        const fs::path next = fs::read_symlink(current, error);
        if (error) {
            throw Failure("Cannot follow the link " + current.string() + ": " + error.message());
        }
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    throw Failure("Cannot follow the link " + path.string() + ": too many levels of links");
}

bool isReadOnly(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = fs::status(path, error);
    constexpr auto anyWrite =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    return !error && fs::is_regular_file(status) &&
           (status.permissions() & anyWrite) == fs::perms::none;
}

void refuseFolder(const std::filesystem::path& path) {
    std::error_code error;
    if (!path.has_filename() || fs::is_directory(path, error)) {
        throw Failure(path.string() + " names a folder; name a file in it");
    }
}

std::string systemReason() {
    return errno != 0 ? std::generic_category().message(errno) : "unknown error";
}

// A device is opened by the path given: /dev/stdout leads to links such as "pipe:[1234]" that
// only the system can follow.
AtomicOutputFile::AtomicOutputFile(std::filesystem::path target)
    : target_(writtenDirectly(target) ? target : followLinks(target)) {
    const bool direct = writtenDirectly(target_);
    if (!direct) {
        refuseFolder(target_);
        if (isReadOnly(target_)) {
            throw Failure("Cannot replace " + target_.string() + ": it is read-only");
        }
        temporary_ = freshSiblingPath(target_);
    }
    errno = 0;
    stream_.open(direct ? target_ : temporary_, std::ios::binary | std::ios::trunc);
    if (!stream_.is_open()) {
        throw Failure("Cannot create " + (direct ? target_ : temporary_).string() + " to write " +
                      target_.string() + ": " + systemReason());
    }
}

AtomicOutputFile::~AtomicOutputFile() {
    if (!committed_ && !temporary_.empty()) {
        // The failure that prevented the commit is already on its way to the user.
        stream_.close();
        std::error_code error;
        std::filesystem::remove(temporary_, error);
    }
}

void AtomicOutputFile::commit() {
    errno = 0;
    stream_.close();
    if (!stream_) {
        throw Failure("Cannot write " + (temporary_.empty() ? target_ : temporary_).string() +
                      ": " + systemReason());
    }
    if (temporary_.empty()) {
        committed_ = true; // written directly to a device or FIFO
        return;
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
