// SPDX-License-Identifier: MIT
#include "rewind_move_file.h"

#include "files/failure.h"

namespace chimex {

void rewindMoveFile(std::istream& part, const std::string& name) {
    part.clear();
    if (!part.seekg(0)) {
        throw InputFailure(name, 0, "cannot be read a second time");
    }
}

} // namespace chimex
