// SPDX-License-Identifier: MIT
#pragma once

namespace chimex {

/// The lowest and highest MIDI notes of the keyboard: C3 (key 0) and C6 (key 36).
inline constexpr int lowestKeyNote = 48;
inline constexpr int highestKeyNote = 84;

/// The MIDI note a key sounds: 48 + index.
constexpr int noteForKey(int keyIndex) {
    return lowestKeyNote + keyIndex;
}

/// A MIDI note moved by whole octaves into C3 to C6, as a key index 0 to 36.
constexpr int keyForNote(int note) {
    while (note < lowestKeyNote) {
        note += 12;
    }
    while (note > highestKeyNote) {
        note -= 12;
    }
    return note - lowestKeyNote;
}

} // namespace chimex
