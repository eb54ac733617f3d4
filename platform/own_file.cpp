// SPDX-License-Identifier: MIT
#include "own_file.h"

#include "platform/failure.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace chimex {
namespace {

std::string reasonOf(int error) {
    return std::generic_category().message(error);
}

/// Closes the descriptor whatever way the reading ends.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

std::string typeProblem(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "it is a folder";
    }
    return "it is not an ordinary file (a pipe, device or socket)";
}

} // namespace

bool somethingAt(const std::filesystem::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

std::optional<std::string> readOrdinaryFile(const std::filesystem::path& path, std::size_t limit) {
    const std::string name = path.string();
    // Non-blocking, so that opening a FIFO returns at once instead of waiting for a writer.
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        const int error = errno;
        if (error == ENOENT && !somethingAt(path)) {
            return std::nullopt;
        }
        if (error == ENOENT) {
            throw InputFailure(name, 0,
                               "cannot be read: it is a link to a file that does not exist");
        }
        throw InputFailure(name, 0, "cannot be read: " + reasonOf(error));
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        throw InputFailure(name, 0, "cannot be read: " + reasonOf(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        throw InputFailure(name, 0, "cannot be read: " + typeProblem(info.st_mode));
    }
    if (static_cast<unsigned long long>(info.st_size) > limit) {
        throw InputFailure(
            name, 0, "cannot be read: it is too long (" + std::to_string(info.st_size) + " bytes)");
    }
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw InputFailure(name, 0, "cannot be read: " + reasonOf(errno));
        }
        if (got == 0) {
            break;
        }
        if (text.size() + static_cast<std::size_t>(got) > limit) {
            throw InputFailure(name, 0, "cannot be read: it is too long");
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

} // namespace chimex
