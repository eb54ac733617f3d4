// SPDX-License-Identifier: MIT
#pragma once

#include "files/failure.h"

#include <cstdint>
#include <string>

namespace chimex {

/// The controller refused a line, raised an alarm, was reset, or said what we cannot read: the
/// machine must be stopped and the user told. The message says it in words.
class MachineStopped : public Failure {
  public:
    explicit MachineStopped(const std::string& message) : Failure(message) {}

    std::uint64_t sentLine = 0; ///< the line refused, counting the lines sent from 1; 0: none
    std::string line;           ///< its text as sent
    std::string code;           ///< the controller's own code: "error:15", "ALARM:3"
    bool alarm = false;         ///< the controller is in alarm: homing or unlocking first
};

} // namespace chimex
