// SPDX-License-Identifier: MIT
#pragma once

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <streambuf>
#include <string>
#include <system_error>
#include <thread>

namespace chimex {

/// The tune file's buffer while playing. What is written collects in memory until the stream is
/// flushed; the flush writes that record to the file whole, or takes back the part that reached it
/// and fails, so the file never ends in half a note. A worker thread then brings the file to the
/// disk, so the key handlers never wait for it.
class JournalFile : public std::streambuf {
  public:
    /// Creates or empties the file; `error()` tells when that failed.
    explicit JournalFile(const std::filesystem::path& path);
    ~JournalFile() override;
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    /// Why the last record or sync failed (empty when none did).
    std::error_code error() const;
    /// True when a failed record could not be cut off again, so the file may end in part of it.
    bool endsInPartialRecord() const { return partial_; }
    /// Waits for the last sync and closes the file; the first failure of either, of a sync the
    /// worker met since the last flush, or of cutting off a failed record once more.
    std::error_code close();

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

  private:
    std::error_code writeRecord();
    void syncLoop();
    void stopWorker();

    int fd_ = -1;
    std::string record_;
    off_t written_ = 0; ///< length of the whole records in the file
    std::error_code recordError_;
    bool partial_ = false;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool syncWanted_ = false;
    bool stopping_ = false;
    std::error_code syncError_;
    std::thread worker_;
};

} // namespace chimex
