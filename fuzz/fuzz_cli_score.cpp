// SPDX-License-Identifier: MIT
// Any text as a score: either an error naming a line, or notes whose keys and times are in range.
#include "cli/score/text_score_reader.h"
#include "files/failure.h"
#include "fuzz_check.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

using namespace chimex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    TextScoreReader reader(in);
    try {
        while (const auto note = reader.next()) {
            CHIMEX_FUZZ_CHECK(note->key >= 0 && note->key <= 36);
            CHIMEX_FUZZ_CHECK(note->hold >= 0 && note->hold < longestScoreTime);
            CHIMEX_FUZZ_CHECK(note->gap >= 0 && note->gap < longestScoreTime);
        }
    } catch (const InputFailure& failure) {
        CHIMEX_FUZZ_CHECK(std::string(failure.what()).starts_with("line "));
    }
    return 0;
}
