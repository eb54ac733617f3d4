// SPDX-License-Identifier: MIT
#pragma once

#include "fake_grbl.h"

#include <atomic>
#include <functional>
#include <string>
#include <utility>

namespace chimex {

/// A pseudo-terminal in raw mode, the serial port a test opens: its master side, which
/// serveFakeGrbl() takes, and the absolute path of its other side.
std::pair<int, std::string> openFakeSerialPort();

/// Serves a FakeGrbl on the steady clock through `fd`, the master side of a pseudo-terminal or a
/// connected socket, until `stop` is set. On a pseudo-terminal every opening of the port starts a
/// fresh controller, as opening a USB board resets it; a socket is served until closed.
/// `observe`, when given, sees the controller after every step it runs (for measurements).
void serveFakeGrbl(int fd, const FakeGrblMachine& machine, const std::atomic<bool>& stop,
                   const std::function<void(const FakeGrbl&, LinkTime)>& observe = {});

} // namespace chimex
