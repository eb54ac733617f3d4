// SPDX-License-Identifier: MIT
#include "atomic_output_file.h"

#include "files/disk_sync.h"
#include "files/failure.h"
#include "files/new_file.h"

#include <cerrno>
#include <random>
#include <string>
#include <system_error>

#include <fcntl.h>

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

int openDirectly(const fs::path& target, std::error_code& error) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    error = fd < 0 ? std::error_code(errno, std::generic_category()) : std::error_code();
    return fd;
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
            throw Failure("Cannot write beside " + target.string() + ": " + reasonText(error));
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
            throw Failure("Cannot follow the link " + current.string() + ": " + reasonText(error));
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
    return reasonText(errno);
}

// A device is opened by the path given: /dev/stdout leads to links such as "pipe:[1234]" that
// only the system can follow.
AtomicOutputFile::AtomicOutputFile(std::filesystem::path target)
    : target_(writtenDirectly(target) ? target : followLinks(target)),
      direct_(writtenDirectly(target_)) {
    std::error_code error;
    int fd = -1;
    if (direct_) {
        fd = openDirectly(target_, error);
    } else {
        refuseFolder(target_);
        if (isReadOnly(target_)) {
            throw Failure("Cannot replace " + target_.string() + ": it is read-only");
        }
        fd = createUnnamedFile(folderOf(target_), error);
        if (fd < 0 && !error) {
            temporary_ = freshSiblingPath(target_);
            pending_ = std::make_unique<PendingRemoval>(temporary_);
            fd = createNewFile(temporary_, error);
        }
    }
    if (fd < 0) {
        throw Failure("Cannot create " + (temporary_.empty() ? target_ : temporary_).string() +
                      (temporary_.empty() ? "" : " to write " + target_.string()) + ": " +
                      reasonText(error));
    }
    buffer_ = std::make_unique<__gnu_cxx::stdio_filebuf<char>>(fd, std::ios::out | std::ios::binary,
                                                               std::size_t{1} << 16);
    stream_.rdbuf(buffer_.get());
}

AtomicOutputFile::~AtomicOutputFile() {
    if (!committed_) {
        // The failure that prevented the commit is already on its way to the user. An unnamed
        // file vanishes as it is closed.
        buffer_.reset();
        if (!temporary_.empty()) {
            std::error_code error;
            std::filesystem::remove(temporary_, error);
        }
    }
}

void AtomicOutputFile::commit() {
    errno = 0;
    if (!stream_.flush()) {
        throw Failure("Cannot write " + target_.string() + ": " + systemReason());
    }
    if (!direct_) {
        place(buffer_->fd());
    }
    errno = 0;
    if (buffer_->close() == nullptr) {
        throw Failure("Cannot write " + target_.string() + ": " + systemReason());
    }
    committed_ = true;
    if (direct_) {
        return;
    }
    const std::error_code error = syncFolder(folderOf(target_));
    if (error) {
        throw Failure("The output file " + target_.string() +
                      " is written, but its folder cannot be synced to the disk, so a power cut "
                      "may undo it: " +
                      reasonText(error));
    }
}

/// Gives the written file the replaced one's mode and puts it at the target's path. The data
/// reaches the disk before, so a power cut leaves the old file or the new.
void AtomicOutputFile::place(int fd) {
    std::error_code error = copyModeAndOwner(fd, target_);
    if (error) {
        throw Failure("Cannot give the output file the mode of " + target_.string() + ": " +
                      reasonText(error));
    }
    error = syncFileData(fd);
    if (error) {
        throw Failure("Cannot write " + target_.string() + " to the disk: " + reasonText(error));
    }
    if (temporary_.empty()) {
        placeUnnamed(fd);
        return;
    }
    moveIntoPlace({});
}

/// A new target gets the file's name at once; an existing one is replaced by a rename from a
/// fresh name, which lives only for that moment.
void AtomicOutputFile::placeUnnamed(int fd) {
    std::error_code error = nameUnnamedFile(fd, target_);
    if (!error) {
        return;
    }
    if (error != std::errc::file_exists) {
        throw Failure("Cannot put the output file at " + target_.string() + ": " +
                      reasonText(error));
    }
    temporary_ = freshSiblingPath(target_);
    pending_ = std::make_unique<PendingRemoval>(temporary_);
    moveIntoPlace(nameUnnamedFile(fd, temporary_));
}

/// Renames the temporary file over the target, unless `error` tells that naming it failed.
void AtomicOutputFile::moveIntoPlace(std::error_code error) {
    if (!error) {
        std::filesystem::rename(temporary_, target_, error);
    }
    if (error) {
        throw Failure("Cannot put the output file at " + target_.string() + ": " +
                      reasonText(error));
    }
    temporary_.clear();
    pending_.reset();
}

} // namespace chimex
