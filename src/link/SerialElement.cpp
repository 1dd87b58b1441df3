#include "link/SerialElement.h"

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

SerialElement::SerialElement(int index, SerialDeviceResolver resolve)
    : ISerialElement(index), port_(new QSerialPort(this)), resolve_(std::move(resolve)) {
    connect(port_, &QSerialPort::readyRead, this, &SerialElement::onReadyRead);
    connect(port_, &QSerialPort::bytesWritten, this, &SerialElement::onBytesWritten);
    connect(port_, &QSerialPort::errorOccurred, this, &SerialElement::onPortError);
}

void SerialElement::setCommPort(qint16 comPort) {
    if (port_->isOpen())
        throw Failure(CommErrorNo::PortAlreadyOpen, "Port already open");
    if (comPort < 1)
        throw Failure(CommErrorNo::InvalidPortNumber, "Invalid port number");
    commPort_ = comPort;
}

void SerialElement::setSettings(const QByteArray& text) {
    const SerialLineSettings s = parseSerialSettings(text);
    if (port_->isOpen()) {
        try {
            applyLine(s, text);
        } catch (const Failure&) {
            applyLine(line_, settingsText_); // back to the settings in force
            throw;
        }
    }
    line_ = s;
    settingsText_ = text;
}

void SerialElement::setDTREnable(bool on) {
    dtr_ = on;
    if (port_->isOpen())
        applyModemLines();
}

void SerialElement::setRTSEnable(bool on) {
    rts_ = on;
    if (port_->isOpen())
        applyModemLines();
}

bool SerialElement::PortOpen() const {
    return port_->isOpen();
}

void SerialElement::setPortOpen(bool open) {
    OperationScope scope(*this);
    if (open) {
        this->open();
        return;
    }
    if (!port_->isOpen())
        return;
    FlagScope quiet(configuring_);
    startNewGeneration();
    port_->close();
    port_->clearError();
}

void SerialElement::open() {
    if (port_->isOpen())
        throw Failure(CommErrorNo::PortAlreadyOpen, "Port already open");
    const QByteArray device = resolve_(commPort_);
    FlagScope quiet(configuring_);
    port_->setPortName(QString::fromLocal8Bit(device));
    if (!port_->open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError e = port_->error();
        const QByteArray why = device + ": " + reason(*port_);
        port_->clearError();
        if (e == QSerialPort::PermissionError || e == QSerialPort::OpenError)
            throw Failure(CommErrorNo::PortAlreadyOpen, "Port already open (" + why + ")");
        throw Failure(CommErrorNo::InvalidPortNumber, "Invalid port number (" + why + ")");
    }
    try {
        applyLine(line_, settingsText_);
        port_->setFlowControl(QSerialPort::NoFlowControl);
        applyModemLines();
    } catch (const Failure&) {
        port_->close();
        port_->clearError();
        throw;
    }
    startNewGeneration();
    lost_ = false;
    errorsInARow_ = 0;
}

void SerialElement::applyLine(const SerialLineSettings& s, const QByteArray& text) {
    FlagScope quiet(configuring_);
    const bool ok = port_->setBaudRate(s.baudRate) && port_->setParity(s.parity) &&
                    port_->setDataBits(s.dataBits) && port_->setStopBits(s.stopBits);
    if (!ok) {
        const QByteArray why = reason(*port_);
        port_->clearError();
        throw Failure(CommErrorNo::InvalidPropertyValue,
                      "Invalid property value: settings \"" + text + "\" (" + why + ")");
    }
}

// A device without modem lines (a pseudo-terminal) refuses them as an unsupported operation;
// that is no failure. Any other refusal is.
void SerialElement::applyModemLines() {
    FlagScope quiet(configuring_);
    const auto check = [this](bool ok) {
        const QSerialPort::SerialPortError e = port_->error();
        const QByteArray why = reason(*port_);
        port_->clearError();
        if (!ok && e != QSerialPort::UnsupportedOperationError)
            throw Failure(8015, "Could not set comm state (" + why + ")");
    };
    check(port_->setDataTerminalReady(dtr_));
    check(port_->setRequestToSend(rts_));
}

void SerialElement::requireOpen() const {
    if (!port_->isOpen())
        throw Failure(CommErrorNo::PortNotOpen, "Operation valid only when the port is open");
}

void SerialElement::Output(const QByteArray& data) {
    OperationScope scope(*this);
    requireOpen();
    if (port_->write(data) != data.size())
        throw Failure(FailureNo::DeviceIo, "Device I/O error (" + reason(*port_) + ")");
    port_->flush();
}

QByteArray SerialElement::Input() {
    requireOpen();
    return port_->readAll();
}

void SerialElement::retire() {
    disconnect();
    port_->disconnect(this);
    startNewGeneration();
    configuring_ = true;
    port_->close();
}

void SerialElement::onReadyRead() {
    errorsInARow_ = 0;
    if (rThreshold_ > 0 && port_->bytesAvailable() >= rThreshold_)
        raise([this] { Q_EMIT commEvent(index()); });
}

void SerialElement::onBytesWritten() {
    if (sThreshold_ > 0 && port_->bytesToWrite() < sThreshold_)
        raise([this] { Q_EMIT commEvent(index()); });
}

void SerialElement::onPortError() {
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
    raise([this] { Q_EMIT commEvent(index()); });
}

// Closes the port once and reports it; the port stays closed until it is opened again.
void SerialElement::loseDevice() {
    lost_ = true;
    const QByteArray why = reason(*port_);
    {
        FlagScope quiet(configuring_);
        port_->close();
        port_->clearError();
    }
    startNewGeneration(); // events raised before the loss are stale now
    raise([this, why] {
        Q_EMIT deviceLost(index(), CommErrorNo::ReadFailed,
                          "Error reading comm device (" + why + ")");
    });
}

} // namespace znr
