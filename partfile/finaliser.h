// SPDX-License-Identifier: MIT
#pragma once

#include "partfile/line_texts.h"

#include <filesystem>
#include <iosfwd>

namespace chimex {

/// Name of the temporary file the finaliser builds in the program's state folder.
inline constexpr const char* temporaryFileName = "Chimex.tmp";

/// Writes the finished part file: lines 1 to 32, the journal read line by line (a line ends at CR,
/// a LF right after it belongs to the line end, a last line without end is copied whole), footer.
/// Streams: memory does not grow with the journal. Throws Failure when reading or writing fails.
void writePartFile(std::istream& journal, std::ostream& out, const HeaderValues& values);

/// Turns the closed journal at `tuneFile` into the finished part file, built as Chimex.tmp in
/// `temporaryFolder` and then put at `tuneFile`'s path so that the path always holds either the
/// journal or the finished file. Throws Failure naming the file and the operation that failed.
void finalisePartFile(const std::filesystem::path& tuneFile,
                      const std::filesystem::path& temporaryFolder, const HeaderValues& values);

} // namespace chimex
