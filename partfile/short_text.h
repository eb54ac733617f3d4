// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace chimex {

/// Text of bounded length held in place: a number form or a few lines of the part file, built
/// without heap allocation (the render of a long score writes millions of them).
class ShortText {
  public:
    /// Room for the longest number form, a double's three-decimal form (up to 314 characters).
    static constexpr std::size_t capacity = 320;

    /// Throws Failure when the text would pass the capacity.
    void append(std::string_view text) {
        if (text.size() > capacity - size_) {
            tooLong();
        }
        std::memcpy(chars_.data() + size_, text.data(), text.size());
        size_ += text.size();
    }
    void append(char c) { append(std::string_view(&c, 1)); }
    std::string_view view() const { return {chars_.data(), size_}; }

  private:
    [[noreturn]] static void tooLong();

    std::array<char, capacity> chars_;
    std::size_t size_ = 0;
};

} // namespace chimex
