// SPDX-License-Identifier: MIT
#include "machine_link.h"

namespace chimex {

std::string endpointName(const LinkEndpoint& endpoint) {
    if (const auto* serial = std::get_if<SerialPortAddress>(&endpoint)) {
        return serial->path;
    }
    const auto& tcp = std::get<TcpAddress>(endpoint);
    const bool bareIpv6 = tcp.host.find(':') != std::string::npos;
    return (bareIpv6 ? "[" + tcp.host + "]" : tcp.host) + ":" + std::to_string(tcp.port);
}

} // namespace chimex
