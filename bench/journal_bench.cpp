// SPDX-License-Identifier: MIT
// What a key handler pays to write one note to the journal (a real file in TMPDIR), next to what
// it would pay if it also waited for the disk itself (write and fdatasync on the same thread).
#include "core/journal.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <ostream>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string record = "\r\nJS, 1.463\r\n' note duration = 0.523\r\nJ3, 12.765\r\n";

fs::path journalPath() {
    return fs::temp_directory_path() / ("chimex-journal-bench-" + std::to_string(::getpid()));
}

void journalRecord(benchmark::State& state) {
    chimex::Journal journal;
    journal.open(journalPath());
    for (auto _ : state) {
        journal.stream() << record;
        journal.flush();
    }
    journal.close();
    fs::remove(journalPath());
}

void writeAndWaitForDisk(benchmark::State& state) {
    const int fd = ::open(journalPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    for (auto _ : state) {
        benchmark::DoNotOptimize(::write(fd, record.data(), record.size()));
        ::fdatasync(fd);
    }
    ::close(fd);
    fs::remove(journalPath());
}

} // namespace

BENCHMARK(journalRecord)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(writeAndWaitForDisk)->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK_MAIN();
