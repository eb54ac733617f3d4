// SPDX-License-Identifier: MIT
#pragma once

#include "core/note_capture.h"

#include <array>
#include <optional>

namespace chimex {

/// Twips per logical pixel (1440 twips an inch at 96 pixels an inch).
inline constexpr int twipsPerPixel = 15;
/// The main window's client area below the menu bar, in twips.
inline constexpr int clientWidth = 13230;
inline constexpr int clientHeight = 2760;

/// A rectangle in twips, measured from the client area's top left corner.
struct TwipRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    bool contains(int x, int y) const {
        return x >= left && x < left + width && y >= top && y < top + height;
    }
};

/// True for C sharp, D sharp, F sharp, G sharp and A sharp (index modulo 12 is 1, 3, 6, 8 or 10).
bool isBlackKey(int keyIndex);

/// Where key 0 to 36 lies: white keys 615 x 2775 every 600 twips (overlapping by 15), black keys
/// 495 x 1455 straddling the edge between their white neighbours.
TwipRect keyRect(int keyIndex);

/// The key indices from the bottom of the stack to the top: white keys in rising order (a higher
/// white key lies over the lower one it overlaps), then the black keys over them.
std::array<int, keyCount> stackingOrder();

/// The key a press at (x, y) twips goes to: the uppermost key there, or none.
std::optional<int> keyAt(int x, int y);

/// Twips to logical pixels; every measure of the two windows is a whole number of pixels.
constexpr int pixels(int twips) {
    return twips / twipsPerPixel;
}

} // namespace chimex
