// SPDX-License-Identifier: MIT
#include "stop_signals.h"

#include <array>
#include <unistd.h>

namespace chimex {
namespace {

constexpr std::array stopSignals{SIGINT, SIGTERM, SIGHUP};

/// Written by the signal handler, so a plain flag.
volatile std::sig_atomic_t stopSignalled = 0;

void askStop(int) {
    stopSignalled = 1;
    ::close(STDIN_FILENO);
}

} // namespace

StopSignals::StopSignals() {
    stopSignalled = 0;
    struct sigaction action {};
    action.sa_handler = askStop;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait in a system call ends, and the player looks at the flag.
    for (std::size_t i = 0; i < stopSignals.size(); ++i) {
        ::sigaction(stopSignals[i], &action, &before_[i]);
    }
}

StopSignals::~StopSignals() {
    for (std::size_t i = 0; i < stopSignals.size(); ++i) {
        ::sigaction(stopSignals[i], &before_[i], nullptr);
    }
}

bool StopSignals::asked() const {
    return stopSignalled != 0;
}

} // namespace chimex
