// SPDX-License-Identifier: MIT
#pragma once

#include <ext/stdio_filebuf.h>

#include <cstddef>

namespace chimex {

/// A read-write file without a name in the system's temporary folder: it vanishes with the
/// process, however the process ends, so an interrupted command leaves nothing behind.
class ScratchFile : public __gnu_cxx::stdio_filebuf<char> {
  public:
    /// Throws Failure when no such file can be made. `bufferSize` bytes are written at a time.
    explicit ScratchFile(std::size_t bufferSize = BUFSIZ);

    /// Writes what is buffered and goes back to the start for reading; throws Failure when the
    /// writing failed (a full disk).
    void rewind();
};

} // namespace chimex
