// SPDX-License-Identifier: MIT
#include "folder_lock.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace chimex {
namespace {

/// True unless another open file holds the lock.
bool lockedOrUnlockable(int fd) {
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

bool sameFile(int fd, const std::filesystem::path& path) {
    struct stat open {};
    struct stat named {};
    return ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

} // namespace

FolderLock::FolderLock(const std::filesystem::path& folder)
    : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ < 0) {
        problem_ = {errno, std::generic_category()};
        return;
    }
    held_ = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
    if (!held_ && errno != EWOULDBLOCK) {
        problem_ = {errno, std::generic_category()};
    }
}

FolderLock::~FolderLock() {
    if (fd_ >= 0) {
        ::close(fd_); // releases the lock
    }
}

FileLock::~FileLock() {
    release();
}

void FileLock::release() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool FileLock::lock(const std::filesystem::path& path) {
    if (fd_ >= 0 && sameFile(fd_, path)) {
        return true; // a second lock of our own file would stand against the first
    }
    release();
    // Non-blocking, so that a FIFO cannot hold the program; never through a link.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        return true;
    }
    if (!lockedOrUnlockable(fd_)) {
        release();
        return false;
    }
    return true;
}

} // namespace chimex
