// SPDX-License-Identifier: MIT
#include "scratch_file.h"

#include "files/atomic_output_file.h"
#include "files/failure.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace chimex {
namespace {

std::filesystem::path temporaryFolder() {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error) {
        throw Failure("No temporary folder: " + error.message());
    }
    return folder;
}

/// O_TMPFILE where the file system has it, else a file unlinked as soon as it is made.
int openNameless() {
    const std::filesystem::path folder = temporaryFolder();
    errno = 0;
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        std::string pattern = (folder / ".chimex-cli.XXXXXX").string();
        fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd >= 0) {
            ::unlink(pattern.c_str());
        }
    }
    if (fd < 0) {
        throw Failure("Cannot create a scratch file in " + folder.string() + ": " + systemReason());
    }
    return fd;
}

} // namespace

ScratchFile::ScratchFile(std::size_t bufferSize)
    : __gnu_cxx::stdio_filebuf<char>(openNameless(),
                                     std::ios::in | std::ios::out | std::ios::binary, bufferSize) {}

void ScratchFile::rewind() {
    errno = 0;
    if (stdio_filebuf<char>::sync() != 0 || pubseekoff(0, std::ios::beg) != 0) {
        throw Failure("Cannot write a scratch file in " + temporaryFolder().string() + ": " +
                      systemReason());
    }
}

} // namespace chimex
