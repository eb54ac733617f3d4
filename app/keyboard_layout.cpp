// SPDX-License-Identifier: MIT
#include "keyboard_layout.h"

namespace chimex {

namespace {

constexpr int whiteStep = 600;
constexpr int whiteWidth = 615;
constexpr int whiteHeight = 2775;
constexpr int blackWidth = 495;
constexpr int blackHeight = 1455;
constexpr int blackOffset = 240; // a black key starts this far left of the next white key

/// How many white keys lie to the left of `keyIndex`.
int whitesBefore(int keyIndex) {
    int count = 0;
    for (int i = 0; i < keyIndex; ++i) {
        count += isBlackKey(i) ? 0 : 1;
    }
    return count;
}

} // namespace

bool isBlackKey(int keyIndex) {
    switch (keyIndex % 12) {
    case 1:
    case 3:
    case 6:
    case 8:
    case 10:
        return true;
    default:
        return false;
    }
}

TwipRect keyRect(int keyIndex) {
    if (isBlackKey(keyIndex)) {
        const int nextWhiteLeft = whiteStep * whitesBefore(keyIndex + 1);
        return {nextWhiteLeft - blackOffset, 0, blackWidth, blackHeight};
    }
    return {whiteStep * whitesBefore(keyIndex), 0, whiteWidth, whiteHeight};
}

std::array<int, keyCount> stackingOrder() {
    std::array<int, keyCount> order{};
    std::size_t next = 0;
    for (bool black : {false, true}) {
        for (int i = 0; i < keyCount; ++i) {
            if (isBlackKey(i) == black) {
                order[next++] = i;
            }
        }
    }
    return order;
}

std::optional<int> keyAt(int x, int y) {
    const auto order = stackingOrder();
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        if (keyRect(*it).contains(x, y)) {
            return *it;
        }
    }
    return std::nullopt;
}

} // namespace chimex
