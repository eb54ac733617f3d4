// SPDX-License-Identifier: MIT
#include "journal.h"

#include "core/journal_file.h"
#include "files/failure.h"

#include <ostream>

namespace chimex {

Journal::Journal() = default;
Journal::~Journal() = default;

void Journal::open(const std::filesystem::path& path) {
    auto file = std::make_unique<JournalFile>(path);
    if (const auto error = file->error()) {
        throw Failure("Cannot open the tune file " + path.string() +
                      " for writing: " + reasonText(error));
    }
    stream_ = std::make_unique<std::ostream>(file.get());
    file_ = std::move(file);
    path_ = path;
}

void Journal::attach(std::unique_ptr<std::ostream> stream) {
    stream_ = std::move(stream);
    file_.reset();
    path_.clear();
}

bool Journal::isOpen() const {
    return stream_ != nullptr;
}

std::ostream& Journal::stream() {
    if (!stream_) {
        throw Failure("The tune file is not open");
    }
    return *stream_;
}

void Journal::flush() {
    stream().flush();
    if (*stream_) {
        return;
    }
    std::string reason;
    std::string kept;
    if (file_) {
        reason = ": " + file_->error().message();
        kept = file_->endsInPartialRecord()
                   ? ". The notes before it are kept, but the file may end in part of this one"
                   : ". The notes before it are kept whole; this one is not written";
    }
    throw Failure("Cannot write to the tune file " + path_.string() + reason + kept);
}

void Journal::close() {
    if (!stream_) {
        return;
    }
    auto stream = std::move(stream_);
    auto file = std::move(file_);
    if (file) {
        // A record that failed was taken back: the file still holds whole notes only.
        if (const auto error = file->close()) {
            throw Failure("Cannot finish writing the tune file " + path_.string() + ": " +
                          error.message());
        }
        return;
    }
    stream->flush();
    if (!*stream) {
        throw Failure("Cannot finish writing the tune file " + path_.string());
    }
}

} // namespace chimex
