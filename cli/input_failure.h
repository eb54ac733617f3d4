// SPDX-License-Identifier: MIT
#pragma once

#include "platform/failure.h"

namespace chimex {

/// A failure caused by the input the user named (a malformed score, a damaged MIDI file, a file
/// that cannot be opened), as opposed to one in writing the output.
class InputFailure : public Failure {
  public:
    using Failure::Failure;
};

} // namespace chimex
