// SPDX-License-Identifier: MIT
// The finaliser on journals of 1 MB and several hundred MB (CHIMEX_BENCH_JOURNAL_MB, default 400),
// next to plain copies of the same journal (std::filesystem and cp). Throughput is in bytes of
// journal per second; max_rss_mb is the process's peak resident memory after the run, which must
// not grow with the journal.
#include "partfile/finaliser.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace chimex;

namespace {

const fs::path& benchFolder() {
    static const fs::path folder = [] {
        fs::path path = fs::temp_directory_path() / ("chimex-bench-" + std::to_string(::getpid()));
        fs::create_directories(path);
        return path;
    }();
    return folder;
}

/// A journal of move blocks and pause lines of about the given size, made once per size.
const fs::path& journalOf(long megabytes) {
    static std::map<long, fs::path> journals;
    auto& path = journals[megabytes];
    if (path.empty()) {
        path = benchFolder() / ("journal-" + std::to_string(megabytes) + ".txt");
        std::ofstream out(path, std::ios::binary);
        const std::string record = "\r\nJS, 1.463\r\n' note duration = 0.523\r\nJ3, 12.765\r\n"
                                   "PAUSE, .3\r\n";
        const long bytes = megabytes * 1024 * 1024;
        for (long written = 0; written < bytes; written += static_cast<long>(record.size())) {
            out << record;
        }
    }
    return path;
}

long journalMegabytes() {
    const char* value = std::getenv("CHIMEX_BENCH_JOURNAL_MB");
    return value != nullptr ? std::atol(value) : 400;
}

double maxRssMegabytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void finalise(benchmark::State& state) {
    const fs::path& journal = journalOf(state.range(0));
    const fs::path program = benchFolder() / "program";
    const fs::path tune = benchFolder() / "song.txt";
    fs::create_directories(program);
    for (auto _ : state) {
        // A second name for the journal: the finaliser replaces the name, not the journal, and
        // no copy's writing is left for the disk to catch up with during the timed part.
        state.PauseTiming();
        fs::remove(tune);
        fs::create_hard_link(journal, tune);
        ::sync();
        state.ResumeTiming();
        finalisePartFile(tune, program, HeaderValues{});
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long>(fs::file_size(journal)));
    state.counters["max_rss_mb"] = maxRssMegabytes();
}

void copyFile(benchmark::State& state) {
    const fs::path& journal = journalOf(state.range(0));
    const fs::path copy = benchFolder() / "copy.txt";
    for (auto _ : state) {
        fs::copy_file(journal, copy, fs::copy_options::overwrite_existing);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long>(fs::file_size(journal)));
}

/// The same copy made by cp, the yardstick the finaliser is held to.
void copyWithCp(benchmark::State& state) {
    const fs::path& journal = journalOf(state.range(0));
    const fs::path copy = benchFolder() / "cp.txt";
    const std::string command = "cp '" + journal.string() + "' '" + copy.string() + "'";
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(copy);
        ::sync();
        state.ResumeTiming();
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("cp failed");
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long>(fs::file_size(journal)));
}

struct RemoveBenchFolder {
    ~RemoveBenchFolder() {
        std::error_code ignored;
        fs::remove_all(benchFolder(), ignored);
    }
};

} // namespace

BENCHMARK(finalise)->Arg(1)->Arg(journalMegabytes())->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(copyFile)->Arg(1)->Arg(journalMegabytes())->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(copyWithCp)
    ->Arg(1)
    ->Arg(journalMegabytes())
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

int main(int argc, char** argv) {
    const RemoveBenchFolder cleanUp;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
