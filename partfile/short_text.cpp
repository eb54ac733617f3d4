// SPDX-License-Identifier: MIT
#include "short_text.h"

#include "platform/failure.h"

#include <cstring>

namespace chimex {

void ShortText::append(std::string_view text) {
    if (text.size() > capacity - size_) {
        throw Failure("A text of the part file is longer than " + std::to_string(capacity) +
                      " characters");
    }
    std::memcpy(chars_.data() + size_, text.data(), text.size());
    size_ += text.size();
}

} // namespace chimex
