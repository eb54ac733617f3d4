// SPDX-License-Identifier: MIT
#pragma once

#include <stdexcept>
#include <string>
#include <system_error>

namespace chimex {

/// The system's reason for `error` as the user reads it. Running out of open files names the
/// limit, so that it is not taken for a fault of the file that could not be opened.
std::string reasonText(const std::error_code& error);
/// The same for an errno value; 0 gives "unknown error".
std::string reasonText(int error);

/// A failure the user must be told about: a file that cannot be opened or written, an arithmetic
/// fault. The message names what failed and where; only the application turns it into a message
/// box.
class Failure : public std::runtime_error {
  public:
    explicit Failure(const std::string& message) : std::runtime_error(message) {}
};

/// Input that cannot be read or is not well-formed (a score, a MIDI file, a part file, a settings
/// file), as opposed to output that cannot be written. The message reads "FILE: line N: WHAT",
/// without the parts that are not known; a reader that does not know its file's name leaves it
/// to whoever opened the file (inFile).
class InputFailure : public Failure {
  public:
    explicit InputFailure(const std::string& what) : InputFailure({}, 0, what) {}
    InputFailure(std::string file, long long line, std::string what)
        : Failure(message(file, line, what)), file_(std::move(file)), line_(line),
          what_(std::move(what)) {}

    const std::string& file() const { return file_; }
    long long line() const { return line_; }

    /// The same failure naming `file`, unless it names a file already.
    InputFailure inFile(const std::string& file) const {
        return file_.empty() ? InputFailure(file, line_, what_) : *this;
    }

  private:
    static std::string message(const std::string& file, long long line, const std::string& what) {
        return (file.empty() ? "" : file + ": ") +
               (line > 0 ? "line " + std::to_string(line) + ": " : "") + what;
    }

    std::string file_;
    long long line_ = 0;
    std::string what_;
};

} // namespace chimex
