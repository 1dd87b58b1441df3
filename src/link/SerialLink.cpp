#include "link/SerialLink.h"

#include "core/Failure.h"

#include <QSerialPort>

namespace znr {
namespace {

// Sets a flag for the length of a scope.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = old_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
    bool old_;
};

QByteArray reason(const QSerialPort& port) {
    return port.errorString().toLocal8Bit();
}

// Read or write errors in a row that mean the device is gone even without a resource error
// (a pty whose master closed reports an endless series of read errors).
constexpr int kErrorsForLoss = 3;

} // namespace

SerialLink::SerialLink(LinkEndpoint endpoint, SerialDeviceResolver resolve)
    : port_(new QSerialPort(this)), endpoint_(std::move(endpoint)), resolve_(std::move(resolve)) {
    connect(port_, &QSerialPort::readyRead, this, &SerialLink::onReadyRead);
    connect(port_, &QSerialPort::errorOccurred, this, &SerialLink::onPortError);
}

void SerialLink::open() {
    OperationScope scope(*this);
    close();
    if (endpoint_.comPort < 1)
        throw Failure(CommErrorNo::InvalidPortNumber, "Invalid port number");
    parseSerialSettings(endpoint_.settings); // a text it cannot carry out fails before opening
    openPort();
    try {
        configure();
    } catch (const Failure&) {
        FlagScope quiet(configuring_);
        port_->close();
        port_->clearError();
        throw;
    }
    startNewGeneration();
    lost_ = false;
    errorsInARow_ = 0;
}

void SerialLink::openPort() {
    const QByteArray device = resolve_(endpoint_.comPort);
    FlagScope quiet(configuring_);
    port_->setPortName(QString::fromLocal8Bit(device));
    if (port_->open(QIODevice::ReadWrite))
        return;
    const QSerialPort::SerialPortError e = port_->error();
    const QByteArray why = device + ": " + reason(*port_);
    port_->clearError();
    if (e == QSerialPort::PermissionError || e == QSerialPort::OpenError)
        throw Failure(CommErrorNo::PortAlreadyOpen, "Port already open (" + why + ")");
    throw Failure(CommErrorNo::InvalidPortNumber, "Invalid port number (" + why + ")");
}

void SerialLink::configure() {
    FlagScope quiet(configuring_);
    const SerialLineSettings s = parseSerialSettings(endpoint_.settings);
    const bool ok = port_->setBaudRate(s.baudRate) && port_->setParity(s.parity) &&
                    port_->setDataBits(s.dataBits) && port_->setStopBits(s.stopBits);
    if (!ok) {
        const QByteArray why = reason(*port_);
        port_->clearError();
        throw Failure(CommErrorNo::InvalidPropertyValue, "Invalid property value: settings \"" +
                                                             endpoint_.settings + "\" (" + why +
                                                             ")");
    }
    port_->setFlowControl(QSerialPort::NoFlowControl);
    applyModemLines();
}

// A device without modem lines (a pseudo-terminal) refuses them as an unsupported operation;
// that is no failure. Any other refusal is.
void SerialLink::applyModemLines() {
    const auto check = [this](bool ok) {
        const QSerialPort::SerialPortError e = port_->error();
        const QByteArray why = reason(*port_);
        port_->clearError();
        if (!ok && e != QSerialPort::UnsupportedOperationError)
            throw Failure(8015, "Could not set comm state (" + why + ")");
    };
    check(port_->setDataTerminalReady(endpoint_.dtr));
    check(port_->setRequestToSend(endpoint_.rts));
}

void SerialLink::close() {
    if (!port_->isOpen())
        return;
    FlagScope quiet(configuring_);
    startNewGeneration();
    port_->close();
    port_->clearError();
}

bool SerialLink::isOpen() const {
    return port_->isOpen();
}

void SerialLink::write(const QByteArray& bytes) {
    OperationScope scope(*this);
    if (!port_->isOpen())
        throw Failure(CommErrorNo::PortNotOpen, "Operation valid only when the port is open");
    if (port_->write(bytes) != bytes.size())
        throw Failure(FailureNo::DeviceIo, "Device I/O error (" + reason(*port_) + ")");
    port_->flush();
}

void SerialLink::onReadyRead() {
    errorsInARow_ = 0;
    const QByteArray bytes = port_->readAll();
    if (!bytes.isEmpty())
        raise([this, bytes] { Q_EMIT received(bytes); });
}

void SerialLink::onPortError() {
    const QSerialPort::SerialPortError e = port_->error();
    if (e == QSerialPort::NoError || configuring_ || lost_ || !port_->isOpen())
        return;
    const bool ioError = e == QSerialPort::ReadError || e == QSerialPort::WriteError;
    if (e == QSerialPort::ResourceError || (ioError && ++errorsInARow_ >= kErrorsForLoss)) {
        loseDevice();
        return;
    }
    if (e == QSerialPort::NotOpenError)
        return;
    const QByteArray bytes = port_->readAll();
    if (!bytes.isEmpty())
        raise([this, bytes] { Q_EMIT received(bytes); });
}

// Closes the port once and reports it; the port stays closed until it is opened again.
void SerialLink::loseDevice() {
    lost_ = true;
    const QByteArray why = reason(*port_);
    {
        FlagScope quiet(configuring_);
        port_->close();
        port_->clearError();
    }
    startNewGeneration(); // events raised before the loss are stale now
    raise([this, why] {
        Q_EMIT dropped(CommErrorNo::ReadFailed, "Error reading comm device (" + why + ")");
    });
}

} // namespace znr
