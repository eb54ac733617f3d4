// SPDX-License-Identifier: MIT
// The Qt links on real byte pipes: a pseudo-terminal opened as a serial port, a TCP socket, each
// served by the fake GRBL on the steady clock.
#include "fake_grbl_serve.h"
#include "link/grbl_session.h"
#include "platform/link/qt_machine_links.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace chimex {
namespace {

LinkTime in(double seconds) {
    return std::chrono::steady_clock::now() +
           std::chrono::duration_cast<std::chrono::steady_clock::duration>(
               std::chrono::duration<double>(seconds));
}

/// Serves the fake GRBL on `fd` from a thread until stop(), which closes `fd`: the link is lost.
class Served {
  public:
    explicit Served(int fd) : fd_(fd), thread_([this] { serveFakeGrbl(fd_, machine(), stop_); }) {}
    ~Served() { stop(); }
    void stop() {
        if (thread_.joinable()) {
            stop_ = true;
            thread_.join();
            ::close(fd_);
        }
    }

  private:
    static FakeGrblMachine machine() {
        FakeGrblMachine machine;
        machine.homing = false;
        return machine;
    }
    int fd_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

/// Talks to GRBL through `link` as far as a jog and its end, then loses the link.
void playThenLoseTheLink(MachineLink& link, Served& served) {
    GrblSession session(link);
    EXPECT_EQ(session.start(in(5)).version, "1.1h.20190825");
    const auto settings = session.request("$$", in(2));
    EXPECT_NE(std::find(settings.begin(), settings.end(), "$130=300.000"), settings.end());
    for (int i = 0; i < 5; ++i) {
        session.send("$J=G91 X-0.2 F3000", in(2));
    }
    session.drain(in(2));
    while (session.status(in(2)).state != GrblState::Idle) {
        session.listen(in(0.05));
    }
    EXPECT_NEAR((*session.machinePosition())[0], -1, 1e-3);
    served.stop();
    EXPECT_THROW(
        {
            session.status(in(2));
            session.status(in(2));
        },
        LinkFailure);
}

TEST(QtMachineLinks, SerialPortOnAPseudoTerminal) {
    const auto [master, path] = openFakeSerialPort();
    Served served(master);
    QtMachineLinks links;
    const auto link = links.open(SerialPortAddress{path, 115200});
    playThenLoseTheLink(*link, served);
    const auto [spare, sparePath] = openFakeSerialPort(); // Marlin's rate is no standard one
    EXPECT_NO_THROW(links.open(SerialPortAddress{sparePath, 250000}));
    ::close(spare);
}

TEST(QtMachineLinks, TcpSocket) {
    const int listening = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(::listen(listening, 1), 0);
    ::getsockname(listening, reinterpret_cast<sockaddr*>(&address), &size);
    QtMachineLinks links;
    const auto link = links.open(TcpAddress{"127.0.0.1", ntohs(address.sin_port)});
    Served served(::accept(listening, nullptr, nullptr));
    ::close(listening);
    playThenLoseTheLink(*link, served);
}

TEST(QtMachineLinks, RefusalsNameThePortAndTheReason) {
    QtMachineLinks links;
    const auto refusalOf = [&](const LinkEndpoint& endpoint) {
        try {
            links.open(endpoint);
        } catch (const LinkFailure& failure) {
            return std::string(failure.what());
        }
        return std::string();
    };
    EXPECT_EQ(refusalOf(SerialPortAddress{"/dev/no-such-port", 115200}),
              "cannot open /dev/no-such-port: there is no such device (is the machine plugged in "
              "and switched on?)");
    EXPECT_TRUE(
        refusalOf(TcpAddress{"127.0.0.1", 1}).starts_with("cannot connect to 127.0.0.1:1: "));
}

} // namespace
} // namespace chimex
