// SPDX-License-Identifier: MIT
#include "link_address.h"

#include "link/number_text.h"

#include <algorithm>
#include <optional>

namespace chimex {

namespace {

constexpr int grblBaud = 115200;
constexpr int marlinBaud = 250000;
constexpr int linuxcncrshPort = 5007;
constexpr int lowestBaud = 1200;
constexpr int highestBaud = 4000000;

std::optional<int> wholeNumber(std::string_view digits, int low, int high) {
    const auto value = numberOfText<int>(digits);
    if (!value || *value < low || *value > high) {
        return std::nullopt;
    }
    return value;
}

bool allDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

class AddressReader {
  public:
    explicit AddressReader(std::string_view text) : text_(text) {}

    [[noreturn]] void refuse(const std::string& what) const {
        throw Failure("\"" + std::string(text_) + "\" " + what);
    }

    /// "/dev/ttyUSB0" or "/dev/ttyUSB0:115200".
    SerialPortAddress serialPort(std::string_view rest, std::string_view controller, int baud) {
        const auto colon = rest.rfind(':');
        if (colon != std::string_view::npos && allDigits(rest.substr(colon + 1))) {
            const auto rate = wholeNumber(rest.substr(colon + 1), lowestBaud, highestBaud);
            if (!rate) {
                refuse("has a baud rate out of range: it is a whole number from " +
                       std::to_string(lowestBaud) + " to " + std::to_string(highestBaud));
            }
            baud = *rate;
            rest = rest.substr(0, colon);
        }
        if (rest.empty() || rest.back() == ':') {
            refuse("names no serial port: write it as " + std::string(controller) +
                   ":/dev/ttyUSB0");
        }
        if (rest.front() != '/') {
            refuse("names the serial port by a relative path: give its full path, such as " +
                   std::string(controller) + ":/dev/" + std::string(rest));
        }
        return {std::string(rest), baud};
    }

    /// "host", "host:5007", "[::1]:5007", or a bare IPv6 address.
    TcpAddress tcpPort(std::string_view rest) {
        if (rest.find('/') != std::string_view::npos) {
            refuse("names a file: LinuxCNC is reached over the network, by linuxcncrsh's host, "
                   "such as linuxcnc:localhost");
        }
        std::string_view host = rest;
        std::string_view port;
        if (rest.starts_with('[')) {
            const auto close = rest.find(']');
            if (close == std::string_view::npos ||
                (close + 1 < rest.size() && rest[close + 1] != ':')) {
                refuse("has an IPv6 address without its closing bracket, as in "
                       "linuxcnc:[::1]:5007");
            }
            host = rest.substr(1, close - 1);
            port = close + 1 < rest.size() ? rest.substr(close + 2) : std::string_view();
        } else if (const auto colon = rest.find(':');
                   colon != std::string_view::npos && rest.find(':', colon + 1) == rest.npos) {
            host = rest.substr(0, colon);
            port = rest.substr(colon + 1);
        }
        if (host.empty()) {
            refuse("names no host: write it as linuxcnc:localhost or linuxcnc:HOST:5007");
        }
        const auto number = port.empty() ? linuxcncrshPort : wholeNumber(port, 1, 65535);
        if (!number) {
            refuse("has a port that is not a whole number from 1 to 65535");
        }
        return {std::string(host), *number};
    }

  private:
    std::string_view text_;
};

} // namespace

bool namesLink(std::string_view text) {
    const auto colon = text.find(':');
    return colon != std::string_view::npos && dialectNamed(text.substr(0, colon)).has_value();
}

LinkAddress parseLinkAddress(std::string_view text) {
    AddressReader reader(text);
    if (!namesLink(text)) {
        reader.refuse("is not a link: it starts with grbl:, marlin: or linuxcnc:");
    }
    const auto colon = text.find(':');
    const auto controller = text.substr(0, colon);
    const auto rest = text.substr(colon + 1);
    const GcodeDialect dialect = *dialectNamed(controller);
    switch (dialect) {
    case GcodeDialect::Grbl:
        return {dialect, reader.serialPort(rest, controller, grblBaud)};
    case GcodeDialect::Marlin:
        return {dialect, reader.serialPort(rest, controller, marlinBaud)};
    case GcodeDialect::LinuxCnc:
        break;
    case GcodeDialect::Klipper:
        reader.refuse("names Klipper, which has no link here yet: render a file for it instead");
    }
    return {dialect, reader.tcpPort(rest)};
}

} // namespace chimex
