#include "Link.h"

#include "SimOptions.h"

#include <QSerialPort>
#include <QTcpServer>
#include <QTcpSocket>

namespace sim {

std::unique_ptr<Link> makeLink(const SimOptions& o) {
    switch (o.link) {
    case SimOptions::LinkKind::Tcp:
        return std::make_unique<TcpLink>(o.address, o.listenPort);
    case SimOptions::LinkKind::Serial:
        return std::make_unique<SerialLink>(o.serialDevice, o.serialSettings);
    case SimOptions::LinkKind::Pty:
        return std::make_unique<PtyLink>(o.ptyLink);
    }
    return nullptr;
}

// --- TCP

TcpLink::TcpLink(QString address, quint16 port)
    : address_(std::move(address)), port_(port), server_(new QTcpServer(this)) {
    connect(server_, &QTcpServer::newConnection, this, &TcpLink::onNewConnection);
}

bool TcpLink::start(QString* error) {
    const QHostAddress address(address_);
    if (address.isNull()) {
        *error = QStringLiteral("not an address: ") + address_;
        return false;
    }
    if (!server_->listen(address, port_)) {
        *error = QStringLiteral("cannot listen on %1:%2: %3")
                     .arg(address_)
                     .arg(port_)
                     .arg(server_->errorString());
        return false;
    }
    Q_EMIT note(QStringLiteral("listening on %1:%2").arg(address_).arg(server_->serverPort()));
    return true;
}

// A client that comes while another is served waits in the server's queue until that one
// has gone.
void TcpLink::onNewConnection() {
    if (client_ || !server_->hasPendingConnections())
        return;
    client_ = server_->nextPendingConnection();
    client_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(client_, &QTcpSocket::readyRead, this, [this] { Q_EMIT received(client_->readAll()); });
    connect(client_, &QTcpSocket::disconnected, this, [this] {
        client_->deleteLater();
        client_ = nullptr;
        Q_EMIT closed();
        onNewConnection();
    });
    Q_EMIT note(QStringLiteral("client connected"));
    Q_EMIT opened();
    if (client_ && client_->bytesAvailable() > 0) // sent while it waited in the queue
        Q_EMIT received(client_->readAll());
}

void TcpLink::send(const QByteArray& bytes) {
    if (!client_)
        return;
    client_->write(bytes);
    client_->flush();
}

void TcpLink::finish() {
    if (!client_)
        return;
    client_->flush();
    client_->disconnectFromHost();
    if (client_ && client_->state() != QAbstractSocket::UnconnectedState)
        client_->waitForDisconnected(1000);
}

// --- serial device

SerialLink::SerialLink(QString device, QByteArray settings)
    : device_(std::move(device)), settings_(std::move(settings)), port_(new QSerialPort(this)) {
    connect(port_, &QSerialPort::readyRead, this, [this] { Q_EMIT received(port_->readAll()); });
}

namespace {

// "9600,n,8,1"-style settings (stop bits 1 or 2) applied to a port; false when malformed.
bool parseSettings(const QByteArray& text, QSerialPort& port) {
    const QByteArrayList f = text.split(',');
    if (f.size() != 4)
        return false;
    bool ok = false;
    const int baud = f[0].toInt(&ok);
    const int dataBits = f[2].toInt();
    const QByteArray parityLetters = "neoms";
    const qsizetype parity = f[1].size() == 1 ? parityLetters.indexOf(f[1].toLower()) : -1;
    static constexpr QSerialPort::Parity parities[] = {
        QSerialPort::NoParity, QSerialPort::EvenParity, QSerialPort::OddParity,
        QSerialPort::MarkParity, QSerialPort::SpaceParity};
    if (!ok || baud <= 0 || parity < 0 || dataBits < 5 || dataBits > 8 ||
        (f[3] != "1" && f[3] != "2"))
        return false;
    port.setBaudRate(baud);
    port.setParity(parities[parity]);
    port.setDataBits(QSerialPort::DataBits(dataBits));
    port.setStopBits(f[3] == "2" ? QSerialPort::TwoStop : QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    return true;
}

} // namespace

bool SerialLink::applySettings(QString* error) {
    if (!parseSettings(settings_, *port_)) {
        *error = QStringLiteral("bad --settings: ") + QString::fromLatin1(settings_);
        return false;
    }
    if (port_->error() == QSerialPort::NoError)
        return true;
    *error = device_ + QStringLiteral(": settings refused: ") + port_->errorString();
    return false;
}

bool SerialLink::start(QString* error) {
    port_->setPortName(device_);
    if (!port_->open(QIODevice::ReadWrite)) {
        *error = device_ + QStringLiteral(": ") + port_->errorString();
        return false;
    }
    if (!applySettings(error))
        return false;
    Q_EMIT note(QStringLiteral("serial device %1 open").arg(device_));
    Q_EMIT opened();
    return true;
}

void SerialLink::send(const QByteArray& bytes) {
    port_->write(bytes);
    port_->flush();
}

void SerialLink::finish() {
    port_->flush();
    port_->waitForBytesWritten(1000);
    port_->close();
}

} // namespace sim
