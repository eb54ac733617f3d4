// SPDX-License-Identifier: MIT
// Any bytes as a MIDI file: either a clear error, or one voice of notes on the keyboard with
// times that are finite and not negative.
#include "cli/score/midi_voice.h"
#include "files/failure.h"
#include "fuzz_check.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

using namespace chimex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    // The first byte picks a transposition, so the folding into the keyboard is explored too.
    MidiSelection selection;
    selection.transpose = static_cast<int>(data[0]) - 128;
    if (selection.transpose < -127) {
        selection.transpose = -127;
    }
    try {
        const MidiFile file = readMidiFile(std::span<const std::uint8_t>(data + 1, size - 1));
        for (const ScoreNote& note : reduceToOneVoice(file, selection)) {
            CHIMEX_FUZZ_CHECK(note.key >= 0 && note.key <= 36);
            CHIMEX_FUZZ_CHECK(std::isfinite(note.hold) && note.hold >= 0);
            CHIMEX_FUZZ_CHECK(std::isfinite(note.gap) && note.gap >= 0);
        }
    } catch (const InputFailure&) {
        // A damaged file: reported to the user, which is the point.
    }
    return 0;
}
