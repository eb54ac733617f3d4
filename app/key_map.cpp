// SPDX-License-Identifier: MIT
#include "key_map.h"

#include "core/note_capture.h"

#include <algorithm>
#include <cctype>

namespace chimex {
namespace {

struct MappedKey {
    int position; ///< Linux input code
    char label;   ///< what the key types on a US layout
    int step;     ///< semitones above the lower row's C
};

constexpr std::array<MappedKey, 29> mappedKeys = {{
    {44, 'Z', 0},  {31, 'S', 1},  {45, 'X', 2},  {32, 'D', 3},  {46, 'C', 4},  {47, 'V', 5},
    {34, 'G', 6},  {48, 'B', 7},  {35, 'H', 8},  {49, 'N', 9},  {36, 'J', 10}, {50, 'M', 11},
    {16, 'Q', 12}, {3, '2', 13},  {17, 'W', 14}, {4, '3', 15},  {18, 'E', 16}, {19, 'R', 17},
    {6, '5', 18},  {20, 'T', 19}, {7, '6', 20},  {21, 'Y', 21}, {8, '7', 22},  {22, 'U', 23},
    {23, 'I', 24}, {10, '9', 25}, {24, 'O', 26}, {11, '0', 27}, {25, 'P', 28},
}};

const MappedKey* find(int position) {
    const auto* found = std::find_if(mappedKeys.begin(), mappedKeys.end(),
                                     [&](const MappedKey& k) { return k.position == position; });
    return found == mappedKeys.end() ? nullptr : found;
}

} // namespace

std::optional<int> KeyMap::pianoKey(int position) const {
    const MappedKey* found = find(position);
    if (!found) {
        return std::nullopt;
    }
    const int key = 12 * octave_ + found->step;
    return key < keyCount ? std::optional<int>(key) : std::nullopt;
}

bool KeyMap::shiftOctave(int position) {
    if (position != octaveDown && position != octaveUp) {
        return false;
    }
    octave_ = std::clamp(octave_ + (position == octaveUp ? 1 : -1), 0, highestOctave);
    return true;
}

std::array<std::string, 37> KeyMap::labels() const {
    std::array<std::string, 37> labels;
    for (const MappedKey& k : mappedKeys) {
        if (const auto key = pianoKey(k.position)) {
            labels[static_cast<std::size_t>(*key)] = std::string(1, k.label);
        }
    }
    return labels;
}

bool KeyMap::isMapped(int position) {
    return find(position) || position == octaveDown || position == octaveUp;
}

int KeyMap::positionOf(char character) {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
    for (const MappedKey& k : mappedKeys) {
        if (k.label == upper) {
            return k.position;
        }
    }
    return 0;
}

} // namespace chimex
