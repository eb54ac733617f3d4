// SPDX-License-Identifier: MIT
#include "qt_machine_links.h"

#include <QCoreApplication>
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

/// What the serial and TCP links share: their device, its name in messages, sending, the clock.
template <typename Device> class DeviceLink : public MachineLink {
  public:
    void write(std::string_view bytes) override {
        const auto size = static_cast<qint64>(bytes.size());
        if (device_.write(bytes.data(), size) != size) {
            lost();
        }
        while (device_.bytesToWrite() > 0) {
            if (!device_.waitForBytesWritten(writeLimitMs)) {
                lost();
            }
        }
    }

    LinkTime now() override { return std::chrono::steady_clock::now(); }

  protected:
    explicit DeviceLink(std::string name) : name_(std::move(name)) {}

    [[noreturn]] void lost() {
        throw LinkFailure("the link to " + name_ +
                          " was lost: " + device_.errorString().toStdString());
    }

    std::string name_;
    Device device_;
};

class SerialLink : public DeviceLink<QSerialPort> {
  public:
    explicit SerialLink(const SerialPortAddress& address) : DeviceLink(address.path) {
        device_.setPortName(QString::fromStdString(address.path));
        if (!device_.open(QIODevice::ReadWrite)) {
            throw LinkFailure("cannot open " + name_ + ": " + serialOpenReason(device_));
        }
        if (!device_.setBaudRate(address.baud) || !device_.setDataBits(QSerialPort::Data8) ||
            !device_.setParity(QSerialPort::NoParity) ||
            !device_.setStopBits(QSerialPort::OneStop) ||
            !device_.setFlowControl(QSerialPort::NoFlowControl)) {
            throw LinkFailure("cannot set " + name_ + " to " + std::to_string(address.baud) +
                              " baud: " + device_.errorString().toStdString());
        }
        // A pseudo-terminal has no modem lines: that is no reason to refuse it.
        if (!device_.setDataTerminalReady(true)) {
            device_.clearError();
        }
    }

    std::string read(LinkTime deadline) override {
        if (device_.bytesAvailable() == 0 &&
            !device_.waitForReadyRead(millisecondsUntil(deadline))) {
            if (device_.error() != QSerialPort::TimeoutError &&
                device_.error() != QSerialPort::NoError) {
                lost();
            }
            device_.clearError();
            return {};
        }
        return bytesOf(device_.readAll());
    }
};

class TcpLink : public DeviceLink<QTcpSocket> {
  public:
    explicit TcpLink(const TcpAddress& address) : DeviceLink(endpointName(address)) {
        device_.connectToHost(QString::fromStdString(address.host), quint16(address.port));
        if (!device_.waitForConnected(connectLimitMs)) {
            throw LinkFailure("cannot connect to " + name_ + ": " +
                              device_.errorString().toStdString());
        }
        // Real-time commands must leave at once, not wait to fill a packet.
        device_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    }

    std::string read(LinkTime deadline) override {
        if (device_.bytesAvailable() == 0) {
            if (device_.state() != QAbstractSocket::ConnectedState) {
                lost();
            }
            if (!device_.waitForReadyRead(millisecondsUntil(deadline))) {
                if (device_.error() != QAbstractSocket::SocketTimeoutError ||
                    device_.state() != QAbstractSocket::ConnectedState) {
                    lost();
                }
                return {};
            }
        }
        return bytesOf(device_.readAll());
    }
};

} // namespace

QtMachineLinks::QtMachineLinks() = default;
QtMachineLinks::~QtMachineLinks() = default;

std::unique_ptr<MachineLink> QtMachineLinks::open(const LinkEndpoint& endpoint) {
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "chimex";
        static char* argv[] = {name, nullptr};
        application_ = std::make_unique<QCoreApplication>(argc, argv);
    }
    if (const auto* serial = std::get_if<SerialPortAddress>(&endpoint)) {
        return std::make_unique<SerialLink>(*serial);
    }
    return std::make_unique<TcpLink>(std::get<TcpAddress>(endpoint));
}

} // namespace chimex
