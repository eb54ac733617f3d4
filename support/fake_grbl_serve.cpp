// SPDX-License-Identifier: MIT
#include "fake_grbl_serve.h"

#include "files/failure.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace chimex {

namespace {

constexpr auto idleWait = std::chrono::milliseconds(10);

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const auto written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno != EINTR && errno != EAGAIN) {
            return false;
        }
        bytes.remove_prefix(std::size_t(std::max<ssize_t>(written, 0)));
    }
    return true;
}

int pollTimeout(const std::optional<FakeGrbl>& grbl) {
    const auto now = std::chrono::steady_clock::now();
    const auto next = grbl ? grbl->nextChange() : std::nullopt;
    const auto wait = next ? std::clamp(std::chrono::ceil<std::chrono::milliseconds>(*next - now),
                                        std::chrono::milliseconds(0), idleWait)
                           : idleWait;
    return int(wait.count());
}

} // namespace

std::pair<int, std::string> openFakeSerialPort() {
    int master = -1;
    int slave = -1;
    termios raw{};
    cfmakeraw(&raw);
    char name[256] = {};
    if (openpty(&master, &slave, name, &raw, nullptr) != 0) {
        throw Failure("cannot open a pseudo-terminal: " + reasonText(errno));
    }
    ::close(slave);
    return {master, name};
}

void serveFakeGrbl(int fd, const FakeGrblMachine& machine, const std::atomic<bool>& stop,
                   const std::function<void(const FakeGrbl&, LinkTime)>& observe) {
    std::optional<FakeGrbl> grbl;
    char buffer[512];
    while (!stop) {
        pollfd watch{fd, POLLIN, 0};
        if (::poll(&watch, 1, pollTimeout(grbl)) < 0 && errno != EINTR) {
            return;
        }
        if (watch.revents & POLLHUP && !(watch.revents & POLLIN)) {
            grbl.reset(); // nobody has the port open
            std::this_thread::sleep_for(idleWait);
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        if (!grbl) {
            grbl.emplace(machine, now);
        }
        if (watch.revents & POLLIN) {
            const auto got = ::read(fd, buffer, sizeof buffer);
            if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN && errno != EIO)) {
                return;
            }
            if (got < 0 && errno == EIO) {
                grbl.reset();
                std::this_thread::sleep_for(idleWait);
                continue;
            }
            grbl->receive(std::string_view(buffer, std::size_t(std::max<ssize_t>(got, 0))), now);
        }
        const auto ranTo = std::chrono::steady_clock::now();
        if (!writeAll(fd, grbl->runUntil(ranTo))) {
            return;
        }
        if (observe) {
            observe(*grbl, ranTo);
        }
    }
}

} // namespace chimex
