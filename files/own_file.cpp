// SPDX-License-Identifier: MIT
#include "own_file.h"

#include "files/failure.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace chimex {
namespace {

/// An ordinary file open for reading; closed whatever way the reading ends.
class OrdinaryFile {
  public:
    /// Opens without waiting (a FIFO would wait for a writer) and checks what was opened, so
    /// that nothing can be swapped in between. Throws InputFailure as readOrdinaryFile says.
    explicit OrdinaryFile(const std::filesystem::path& path)
        : name_(path.string()), fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {
        if (fd_ < 0) {
            const int error = errno;
            missing_ = error == ENOENT && !somethingAt(path);
            if (!missing_) {
                fail(error == ENOENT ? "it is a link to a file that does not exist"
                                     : reasonText(error));
            }
            return;
        }
        struct stat info {};
        const bool known = ::fstat(fd_, &info) == 0;
        const int error = errno;
        if (!known || !S_ISREG(info.st_mode)) {
            ::close(fd_); // the destructor does not run for a constructor that throws
            fail(!known                  ? reasonText(error)
                 : S_ISDIR(info.st_mode) ? "it is a folder"
                                         : "it is not an ordinary file (a pipe, device or socket)");
        }
        size_ = static_cast<unsigned long long>(info.st_size);
    }
    ~OrdinaryFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    OrdinaryFile(const OrdinaryFile&) = delete;
    OrdinaryFile& operator=(const OrdinaryFile&) = delete;

    bool missing() const { return missing_; }
    unsigned long long size() const { return size_; }

    /// At most `count` bytes from the start; fewer only at the end of the file.
    std::string read(std::size_t count) {
        std::string text;
        char buffer[4096];
        while (text.size() < count) {
            const std::size_t want = std::min(sizeof buffer, count - text.size());
            const ssize_t got = ::read(fd_, buffer, want);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                fail(reasonText(errno));
            }
            if (got == 0) {
                break;
            }
            text.append(buffer, static_cast<std::size_t>(got));
        }
        return text;
    }

    [[noreturn]] void fail(const std::string& why) const {
        throw InputFailure(name_, 0, "cannot be read: " + why);
    }

  private:
    std::string name_;
    int fd_;
    bool missing_ = false;
    unsigned long long size_ = 0;
};

} // namespace

bool somethingAt(const std::filesystem::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

std::optional<std::string> readOrdinaryFile(const std::filesystem::path& path, std::size_t limit) {
    OrdinaryFile file(path);
    if (file.missing()) {
        return std::nullopt;
    }
    if (file.size() > limit) {
        file.fail("it is too long (" + std::to_string(file.size()) + " bytes)");
    }
    std::string text = file.read(limit + 1);
    if (text.size() > limit) {
        file.fail("it is too long"); // it grew while it was read
    }
    return text;
}

std::optional<std::string> readOrdinaryFileStart(const std::filesystem::path& path,
                                                 std::size_t count) {
    OrdinaryFile file(path);
    if (file.missing()) {
        return std::nullopt;
    }
    return file.read(count);
}

} // namespace chimex
