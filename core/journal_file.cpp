// SPDX-License-Identifier: MIT
#include "journal_file.h"

#include "files/disk_sync.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace chimex {

JournalFile::JournalFile(const std::filesystem::path& path) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        recordError_ = {errno, std::generic_category()};
        return;
    }
    // The new name must survive a power cut as well as the notes in it.
    recordError_ = syncFolder(folderOf(path));
    worker_ = std::thread([this] { syncLoop(); });
}

JournalFile::~JournalFile() {
    close();
}

std::error_code JournalFile::error() const {
    std::lock_guard lock(mutex_);
    return recordError_ ? recordError_ : syncError_;
}

JournalFile::int_type JournalFile::overflow(int_type c) {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        record_ += traits_type::to_char_type(c);
    }
    return traits_type::not_eof(c);
}

std::streamsize JournalFile::xsputn(const char* text, std::streamsize count) {
    record_.append(text, static_cast<std::size_t>(count));
    return count;
}

int JournalFile::sync() {
    return writeRecord() ? -1 : 0;
}

/// Writes the record after the last whole one; on failure cuts the file back to that length.
std::error_code JournalFile::writeRecord() {
    if (fd_ < 0 || recordError_) {
        record_.clear();
        return recordError_ ? recordError_ : std::make_error_code(std::errc::bad_file_descriptor);
    }
    std::size_t done = 0;
    while (done < record_.size()) {
        const ssize_t n = ::pwrite(fd_, record_.data() + done, record_.size() - done,
                                   written_ + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            recordError_ = {n < 0 ? errno : ENOSPC, std::generic_category()};
            record_.clear();
            partial_ = ::ftruncate(fd_, written_) != 0;
            return recordError_;
        }
        done += static_cast<std::size_t>(n);
    }
    written_ += static_cast<off_t>(done);
    record_.clear();
    std::lock_guard lock(mutex_);
    if (syncError_) {
        return syncError_;
    }
    syncWanted_ = true;
    wake_.notify_one();
    return {};
}

void JournalFile::syncLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return syncWanted_ || stopping_; });
        if (!syncWanted_) {
            return;
        }
        syncWanted_ = false;
        lock.unlock();
        const std::error_code error = syncFileData(fd_);
        lock.lock();
        if (error && !syncError_) {
            syncError_ = error;
        }
    }
}

void JournalFile::stopWorker() {
    if (!worker_.joinable()) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    worker_.join();
}

std::error_code JournalFile::close() {
    if (fd_ < 0) {
        return {};
    }
    stopWorker(); // runs a sync still wanted before it stops
    std::error_code error = syncError_;
    if (partial_) {
        // The cut after a failed record failed too: one more try, or the file is not whole.
        partial_ = ::ftruncate(fd_, written_) != 0;
        if (partial_ && !error) {
            error = {errno, std::generic_category()};
        }
    }
    if (!error) {
        error = syncFileData(fd_);
    }
    if (::close(fd_) != 0 && !error && errno != EINTR) {
        error = {errno, std::generic_category()};
    }
    fd_ = -1;
    return error;
}

} // namespace chimex
