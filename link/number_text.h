// SPDX-License-Identifier: MIT
#pragma once

#include <charconv>
#include <optional>
#include <string_view>
#include <system_error>

namespace chimex {

/// `text` read whole as a number, as controllers write them (no leading '+', no blanks);
/// nothing when it is empty or holds anything else.
template <typename Number> std::optional<Number> numberOfText(std::string_view text) {
    Number value{};
    const auto end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

} // namespace chimex
