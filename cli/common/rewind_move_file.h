// SPDX-License-Identifier: MIT
#pragma once

#include <istream>
#include <string>

namespace chimex {

/// Goes back to the start of `part` for another reading. Throws InputFailure when it cannot.
void rewindMoveFile(std::istream& part, const std::string& name);

} // namespace chimex
