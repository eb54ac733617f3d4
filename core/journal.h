// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <iosfwd>
#include <memory>

namespace chimex {

class JournalFile;

/// The move journal: the tune file held open for appending while the user plays. Lines are written
/// by the note planner and note capture; flush() after each record writes it whole to the file (or
/// not at all) and has it brought to the disk in the background, so a crash or a power cut keeps
/// every placed note.
class Journal {
  public:
    Journal();
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    /// Creates or empties the file and opens it for writing (binary, CR LF written by the callers).
    /// Throws Failure naming the path when it cannot be opened.
    void open(const std::filesystem::path& path);
    /// Writes to the given stream instead of a file (tests, headless rendering).
    void attach(std::unique_ptr<std::ostream> stream);
    bool isOpen() const;
    /// The open stream; throws Failure when the journal is not open.
    std::ostream& stream();
    /// Writes the record since the last flush; throws Failure when that fails, the records before
    /// it being kept whole. A failed journal still closes, so the tune can be finished.
    void flush();
    /// Closes the file so all lines are on disk; throws Failure when that fails. Closing a closed
    /// journal does nothing.
    void close();

  private:
    std::unique_ptr<JournalFile> file_; ///< the buffer under stream_ when writing a file
    std::unique_ptr<std::ostream> stream_;
    std::filesystem::path path_;
};

} // namespace chimex
