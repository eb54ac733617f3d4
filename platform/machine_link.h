// SPDX-License-Identifier: MIT
#pragma once

#include "files/failure.h"

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

namespace chimex {

/// The clock a link's deadlines are read on: the steady clock, or a fake link's simulated time.
using LinkTime = std::chrono::steady_clock::time_point;

/// A serial port by its absolute path (a pseudo-terminal will do), at `baud` bits per second.
struct SerialPortAddress {
    std::string path;
    int baud = 115200;
};

/// A TCP port on a host (a name or an address).
struct TcpAddress {
    std::string host;
    int port = 0;
};

/// Where a link goes.
using LinkEndpoint = std::variant<SerialPortAddress, TcpAddress>;

/// "/dev/ttyUSB0" or "host:5007", as messages name the link.
std::string endpointName(const LinkEndpoint& endpoint);

/// A link that cannot be opened, or is lost: unplugged, closed by the other end, or silent past
/// its deadline. The message names the link and why.
class LinkFailure : public Failure {
  public:
    explicit LinkFailure(const std::string& message) : Failure(message) {}
};

/// A byte pipe to a machine's controller. Used from one thread at a time.
class MachineLink {
  public:
    /// Closes the link.
    virtual ~MachineLink() = default;
    /// Sends all of `bytes` in order; throws LinkFailure when the link is lost.
    virtual void write(std::string_view bytes) = 0;
    /// The bytes that arrived, waiting for the first of them until `deadline` at most: empty
    /// when none came by then. Throws LinkFailure when the link is lost.
    virtual std::string read(LinkTime deadline) = 0;
    /// The time on the clock `read` takes its deadline on.
    virtual LinkTime now() = 0;
};

/// Opens links, so the program can be handed a fake.
class MachineLinks {
  public:
    virtual ~MachineLinks() = default;
    /// Throws LinkFailure naming the endpoint and the reason when it cannot be opened.
    virtual std::unique_ptr<MachineLink> open(const LinkEndpoint& endpoint) = 0;
};

} // namespace chimex
