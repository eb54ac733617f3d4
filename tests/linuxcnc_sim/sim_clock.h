// SPDX-License-Identifier: MIT
// What the tests against LinuxCNC's simulation share: deadlines on the steady clock and the
// settings linuxcncrsh.sh passes in the environment.
#pragma once

#include "platform/machine_link.h"

#include <chrono>
#include <cstdlib>
#include <string>

namespace chimex {

using Clock = std::chrono::steady_clock;

inline LinkTime in(double seconds) {
    return Clock::now() +
           std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

inline std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

/// linuxcncrsh's address in the simulation.
inline TcpAddress simulationAddress() {
    return {"127.0.0.1", std::atoi(environment("CHIMEX_LINUXCNCRSH_PORT").c_str())};
}

inline double millisecondsSince(Clock::time_point start, Clock::time_point end = Clock::now()) {
    return std::chrono::duration<double, std::milli>(end - start).count();
}

} // namespace chimex
