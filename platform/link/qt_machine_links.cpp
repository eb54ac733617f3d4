// SPDX-License-Identifier: MIT
#include "qt_machine_links.h"

#include <QSerialPort>
#include <QTcpSocket>

#include <algorithm>

namespace chimex {

namespace {

/// How long the system may take to pass our bytes on before the link counts as lost.
constexpr int writeLimitMs = 2000;
/// How long a TCP connection may take to open.
constexpr int connectLimitMs = 5000;

int millisecondsUntil(LinkTime deadline) {
    using namespace std::chrono;
    const auto left = ceil<milliseconds>(deadline - steady_clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 24 * 3600 * 1000));
}

std::string bytesOf(const QByteArray& data) {
    return {data.constData(), size_t(data.size())};
}

/// Sends all of `bytes` through `device`, or calls `lost`.
template <typename Device, typename Lost>
void writeAll(Device& device, std::string_view bytes, Lost lost) {
    const auto size = static_cast<qint64>(bytes.size());
    if (device.write(bytes.data(), size) != size) {
        lost();
    }
    while (device.bytesToWrite() > 0) {
        if (!device.waitForBytesWritten(writeLimitMs)) {
            lost();
        }
    }
}

std::string serialOpenReason(const QSerialPort& port) {
    switch (port.error()) {
    case QSerialPort::DeviceNotFoundError:
        return "there is no such device (is the machine plugged in and switched on?)";
    case QSerialPort::PermissionError:
        return "permission denied (add yourself to the dialout group, then log in again)";
    case QSerialPort::OpenError:
        return "another program has it open";
    default:
        return port.errorString().toStdString();
    }
}

class SerialLink : public MachineLink {
  public:
    explicit SerialLink(const SerialPortAddress& address) : name_(address.path) {
        port_.setPortName(QString::fromStdString(address.path));
        if (!port_.open(QIODevice::ReadWrite)) {
            throw LinkFailure("cannot open " + name_ + ": " + serialOpenReason(port_));
        }
        if (!port_.setBaudRate(address.baud) || !port_.setDataBits(QSerialPort::Data8) ||
            !port_.setParity(QSerialPort::NoParity) || !port_.setStopBits(QSerialPort::OneStop) ||
            !port_.setFlowControl(QSerialPort::NoFlowControl)) {
            throw LinkFailure("cannot set " + name_ + " to " + std::to_string(address.baud) +
                              " baud: " + port_.errorString().toStdString());
        }
        // A pseudo-terminal has no modem lines: that is no reason to refuse it.
        if (!port_.setDataTerminalReady(true)) {
            port_.clearError();
        }
    }

    void write(std::string_view bytes) override {
        writeAll(port_, bytes, [this] { lost(); });
    }

    std::string read(LinkTime deadline) override {
        if (port_.bytesAvailable() == 0 && !port_.waitForReadyRead(millisecondsUntil(deadline))) {
            if (port_.error() != QSerialPort::TimeoutError &&
                port_.error() != QSerialPort::NoError) {
                lost();
            }
            port_.clearError();
            return {};
        }
        return bytesOf(port_.readAll());
    }

    LinkTime now() override { return std::chrono::steady_clock::now(); }

  private:
    [[noreturn]] void lost() {
        throw LinkFailure("the link to " + name_ +
                          " was lost: " + port_.errorString().toStdString());
    }

    std::string name_;
    QSerialPort port_;
};

class TcpLink : public MachineLink {
  public:
    explicit TcpLink(const TcpAddress& address) : name_(endpointName(address)) {
        socket_.connectToHost(QString::fromStdString(address.host), quint16(address.port));
        if (!socket_.waitForConnected(connectLimitMs)) {
            throw LinkFailure("cannot connect to " + name_ + ": " +
                              socket_.errorString().toStdString());
        }
        // Real-time commands must leave at once, not wait to fill a packet.
        socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    }

    void write(std::string_view bytes) override {
        if (socket_.state() != QAbstractSocket::ConnectedState) {
            lost();
        }
        writeAll(socket_, bytes, [this] { lost(); });
    }

    std::string read(LinkTime deadline) override {
        if (socket_.bytesAvailable() == 0) {
            if (socket_.state() != QAbstractSocket::ConnectedState) {
                lost();
            }
            if (!socket_.waitForReadyRead(millisecondsUntil(deadline))) {
                if (socket_.error() != QAbstractSocket::SocketTimeoutError ||
                    socket_.state() != QAbstractSocket::ConnectedState) {
                    lost();
                }
                return {};
            }
        }
        return bytesOf(socket_.readAll());
    }

    LinkTime now() override { return std::chrono::steady_clock::now(); }

  private:
    [[noreturn]] void lost() {
        throw LinkFailure("the link to " + name_ +
                          " was lost: " + socket_.errorString().toStdString());
    }

    std::string name_;
    QTcpSocket socket_;
};

} // namespace

std::unique_ptr<MachineLink> QtMachineLinks::open(const LinkEndpoint& endpoint) {
    if (const auto* serial = std::get_if<SerialPortAddress>(&endpoint)) {
        return std::make_unique<SerialLink>(*serial);
    }
    return std::make_unique<TcpLink>(std::get<TcpAddress>(endpoint));
}

} // namespace chimex
