// SPDX-License-Identifier: MIT
#include "pending_removal.h"

#include <array>
#include <csignal>
#include <cstring>

#include <unistd.h>

namespace chimex {
namespace {

constexpr std::size_t slotCount = 16;
constexpr std::size_t longestPath = 4096;

/// Read by the signal handler, so plain fixed storage: a slot's path is complete before its flag
/// is set, and its flag is cleared before the path is reused.
std::array<std::array<char, longestPath>, slotCount> paths{};
std::array<volatile std::sig_atomic_t, slotCount> inUse{};

constexpr std::array endingSignals{SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ};

void removePending(int signal) {
    for (std::size_t i = 0; i < slotCount; ++i) {
        if (inUse[i] != 0) {
            ::unlink(paths[i].data());
        }
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace

PendingRemoval::PendingRemoval(const std::filesystem::path& path) {
    const std::string& text = path.native();
    if (text.size() >= longestPath) {
        return;
    }
    for (std::size_t i = 0; i < slotCount; ++i) {
        if (inUse[i] == 0) {
            std::memcpy(paths[i].data(), text.c_str(), text.size() + 1);
            inUse[i] = 1;
            slot_ = static_cast<int>(i);
            return;
        }
    }
}

PendingRemoval::~PendingRemoval() {
    if (slot_ >= 0) {
        inUse[static_cast<std::size_t>(slot_)] = 0;
    }
}

void removeOnEndingSignals() {
    for (const int signal : endingSignals) {
        struct sigaction action {};
        action.sa_handler = removePending;
        sigemptyset(&action.sa_mask);
        for (const int other : endingSignals) {
            sigaddset(&action.sa_mask, other); // one handler at a time
        }
        ::sigaction(signal, &action, nullptr);
    }
}

} // namespace chimex
