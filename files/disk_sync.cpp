// SPDX-License-Identifier: MIT
#include "disk_sync.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace chimex {
namespace {

std::error_code lastError() {
    return {errno, std::generic_category()};
}

/// A file that cannot be synced (a device, a pipe, a file system without it) has nothing to lose
/// to a power cut that a sync would save; only a failing disk is an error.
bool nothingToSync(int error) {
    return error == EINVAL || error == ENOTSUP || error == EOPNOTSUPP;
}

template <typename Call> std::error_code retried(Call call) {
    while (call() != 0) {
        if (errno != EINTR) {
            return nothingToSync(errno) ? std::error_code() : lastError();
        }
    }
    return {};
}

/// Opens `path` with `flags`, syncs it with fsync and closes it again.
std::error_code syncByPath(const std::filesystem::path& path, int flags) {
    int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0 && errno == EACCES && (flags & O_DIRECTORY) == 0) {
        fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC); // a file its owner may only write
    }
    if (fd < 0) {
        // A folder the user may write but not read cannot be opened to sync; leave it as it is.
        const bool unreadable = (flags & O_DIRECTORY) != 0 && (errno == EACCES || errno == EPERM);
        return unreadable ? std::error_code() : lastError();
    }
    std::error_code error = retried([fd] { return ::fsync(fd); });
    if (::close(fd) != 0 && !error && errno != EINTR) {
        error = lastError();
    }
    return error;
}

} // namespace

std::error_code syncFileData(int fd) {
    return retried([fd] { return ::fdatasync(fd); });
}

std::error_code syncFile(const std::filesystem::path& path) {
    return syncByPath(path, O_RDONLY);
}

std::error_code syncFolder(const std::filesystem::path& folder) {
    return syncByPath(folder.empty() ? std::filesystem::path(".") : folder, O_RDONLY | O_DIRECTORY);
}

std::filesystem::path folderOf(const std::filesystem::path& path) {
    const auto parent = path.parent_path();
    return parent.empty() ? std::filesystem::path(".") : parent;
}

} // namespace chimex
