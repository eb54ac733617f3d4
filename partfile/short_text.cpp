// SPDX-License-Identifier: MIT
#include "short_text.h"

#include "files/failure.h"

#include <string>

namespace chimex {

void ShortText::tooLong() {
    throw Failure("A text of the part file is longer than " + std::to_string(capacity) +
                  " characters");
}

} // namespace chimex
