// SPDX-License-Identifier: MIT
#include "new_file.h"

#include <cerrno>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace chimex {
namespace {

std::error_code lastError() {
    return {errno, std::generic_category()};
}

std::string procPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

} // namespace

int createNewFile(const std::filesystem::path& path, std::error_code& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    error = fd < 0 ? lastError() : std::error_code();
    return fd;
}

int createUnnamedFile(const std::filesystem::path& folder, std::error_code& error) {
    error.clear();
    if (::access("/proc/self/fd", X_OK) != 0) {
        return -1; // without /proc the file could not be named later
    }
    const std::filesystem::path where = folder.empty() ? std::filesystem::path(".") : folder;
    const int fd = ::open(where.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        error = lastError();
    }
    return fd;
}

std::error_code nameUnnamedFile(int fd, const std::filesystem::path& path) {
    if (::linkat(AT_FDCWD, procPath(fd).c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        return lastError();
    }
    return {};
}

std::error_code copyModeAndOwner(int fd, const std::filesystem::path& model) {
    struct stat status {};
    if (::stat(model.c_str(), &status) != 0) {
        return errno == ENOENT ? std::error_code() : lastError();
    }
    if (::geteuid() == 0 && ::fchown(fd, status.st_uid, status.st_gid) != 0) {
        return lastError();
    }
    if (::fchmod(fd, status.st_mode & 07777) != 0) {
        return lastError();
    }
    return {};
}

} // namespace chimex
