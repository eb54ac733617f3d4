// SPDX-License-Identifier: MIT
#pragma once

#include "machinefile/gcode_format.h"
#include "platform/machine_link.h"

#include <string_view>

namespace chimex {

/// A machine's controller and where to reach it.
struct LinkAddress {
    GcodeDialect controller = GcodeDialect::Grbl;
    LinkEndpoint endpoint;
};

/// True when `text` starts with a controller's name and a colon, as a link does.
bool namesLink(std::string_view text);

/// Reads `grbl:/dev/ttyUSB0[:115200]`, `marlin:/dev/ttyACM0[:250000]` (a serial port by its
/// absolute path, and its baud rate) or `linuxcnc:HOST[:5007]` (linuxcncrsh's TCP port; an IPv6
/// address in brackets). Throws Failure quoting `text` and saying what is wrong with it.
LinkAddress parseLinkAddress(std::string_view text);

} // namespace chimex
