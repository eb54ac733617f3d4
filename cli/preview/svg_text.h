// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace chimex {

/// Text as XML character data or attribute value: markup characters as entities, control
/// characters as "?", bytes that are not UTF-8 as U+FFFD.
std::string svgText(std::string_view text);

/// A coordinate with at most `decimals` decimals, trailing zeros dropped; beyond a million in
/// size it is held at a million, so no picture gets an unreadable number.
std::string svgNumber(double value, int decimals = 1);

} // namespace chimex
