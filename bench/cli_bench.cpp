// SPDX-License-Identifier: MIT
// chimex-cli on a score of a million notes: rendering it to a part file and to G-code, checking and
// previewing the result, and listening to its first 20,000 notes. Peak memory is measured on the
// executable (see the README); here the rate in notes a second.
#include "cli/check/part_check.h"
#include "cli/common/settings_choice.h"
#include "cli/convert/gcode_convert.h"
#include "cli/convert/gcode_move_spool.h"
#include "cli/listen/listen_wave.h"
#include "cli/preview/preview_svg.h"
#include "cli/render/render.h"
#include "cli/score/text_score_reader.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace chimex {
namespace {

constexpr long long noteCount = 1000000;

/// Keys 0 to 29 stay within the Z speed limit of the default settings, and holds below a second
/// keep every move shorter than half of every axis, so every note finds room.
std::filesystem::path writeScore() {
    const auto path = std::filesystem::temp_directory_path() / "chimex_bench_score.txt";
    std::ofstream out(path, std::ios::binary);
    for (long long i = 0; i < noteCount; ++i) {
        out << (i * 7) % 30 << ' ' << 0.05 + static_cast<double>(i % 10) * 0.07 << ' '
            << static_cast<double>(i % 4) * 0.125 << '\n';
    }
    return path;
}

const std::filesystem::path& scorePath() {
    static const std::filesystem::path path = writeScore();
    return path;
}

std::filesystem::path partPath() {
    return std::filesystem::temp_directory_path() / "chimex_bench_part.txt";
}

void renderMillionNotes(benchmark::State& state) {
    for (auto _ : state) {
        std::ifstream score(scorePath(), std::ios::binary);
        TextScoreReader notes(score);
        std::ostringstream messages;
        const RenderOutcome outcome = renderPartFile(notes, {}, partPath(), messages);
        if (outcome.noRoom || outcome.notesPlaced != noteCount) {
            state.SkipWithError("the render did not place every note");
        }
    }
    state.SetItemsProcessed(state.iterations() * noteCount);
}
BENCHMARK(renderMillionNotes)->Unit(benchmark::kMillisecond)->Iterations(3);

/// As `render --format gcode --dialect linuxcnc --unit mm` does: the moves spooled, the G-code
/// written from them and checked, then put in place.
void renderMillionNotesToGcode(benchmark::State& state) {
    const auto out = std::filesystem::temp_directory_path() / "chimex_bench.ngc";
    for (auto _ : state) {
        std::ifstream score(scorePath(), std::ios::binary);
        TextScoreReader notes(score);
        std::ostringstream messages;
        GcodeMoveSpool moves;
        const RenderOutcome outcome = renderMoves(notes, {}, moves, messages);
        writeCheckedGcode("the bench", machineLimits(), out,
                          [&](std::ostream& text) { return moves.writeGcode(text, {}); });
        if (outcome.noRoom || outcome.notesPlaced != noteCount) {
            state.SkipWithError("the render did not place every note");
        }
    }
    state.SetItemsProcessed(state.iterations() * noteCount);
    std::filesystem::remove(out);
}
BENCHMARK(renderMillionNotesToGcode)->Unit(benchmark::kMillisecond)->Iterations(3);

void checkMillionNotes(benchmark::State& state) {
    if (!std::filesystem::exists(partPath())) {
        std::ifstream score(scorePath(), std::ios::binary);
        TextScoreReader notes(score);
        std::ostringstream messages;
        renderPartFile(notes, {}, partPath(), messages);
    }
    for (auto _ : state) {
        std::ifstream part(partPath(), std::ios::binary);
        const CheckReport report = checkMoveFile(part, machineLimits());
        benchmark::DoNotOptimize(report.notes.notes());
        state.counters["violations"] = static_cast<double>(report.violations.size());
    }
    state.SetItemsProcessed(state.iterations() * noteCount);
}
BENCHMARK(checkMillionNotes)->Unit(benchmark::kMillisecond)->Iterations(3);

void ensurePart() {
    if (!std::filesystem::exists(partPath())) {
        std::ifstream score(scorePath(), std::ios::binary);
        TextScoreReader notes(score);
        std::ostringstream messages;
        renderPartFile(notes, {}, partPath(), messages);
    }
}

/// The SVG goes to a file, as the command writes it; a million notes make about 40 MB.
void previewMillionNotes(benchmark::State& state) {
    ensurePart();
    const auto svgPath = std::filesystem::temp_directory_path() / "chimex_bench_preview.svg";
    for (auto _ : state) {
        std::ifstream part(partPath(), std::ios::binary);
        std::ofstream svg(svgPath, std::ios::binary | std::ios::trunc);
        std::ostringstream warnings;
        const PreviewSummary summary = writePreview(part, "part", {}, svg, warnings);
        benchmark::DoNotOptimize(summary.notes.notes());
    }
    state.SetItemsProcessed(state.iterations() * noteCount);
    std::filesystem::remove(svgPath);
}
BENCHMARK(previewMillionNotes)->Unit(benchmark::kMillisecond)->Iterations(3);

/// The first 20,000 notes (about two hours of sound, 650 MB of WAV) to a file.
void listenTwentyThousandNotes(benchmark::State& state) {
    ensurePart();
    const auto partial = std::filesystem::temp_directory_path() / "chimex_bench_part_20k.txt";
    {
        std::ifstream part(partPath(), std::ios::binary);
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        std::string line;
        for (long long lines = 0; lines < 32 + 4 * 20000 && std::getline(part, line); ++lines) {
            out << line << '\n';
        }
    }
    const auto wavePath = std::filesystem::temp_directory_path() / "chimex_bench_listen.wav";
    for (auto _ : state) {
        std::ifstream part(partial, std::ios::binary);
        std::ofstream wave(wavePath, std::ios::binary | std::ios::trunc);
        std::ostringstream warnings;
        const ListenOutcome outcome =
            listenToMoves(part, "part", {StepsPerUnit{400, 400, 400}, std::nullopt, std::nullopt},
                          wave, warnings);
        state.counters["seconds of sound"] = outcome.seconds;
    }
    state.SetItemsProcessed(state.iterations() * 20000);
    std::filesystem::remove(wavePath);
    std::filesystem::remove(partial);
}
BENCHMARK(listenTwentyThousandNotes)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
} // namespace chimex

BENCHMARK_MAIN();
