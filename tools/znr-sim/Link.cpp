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
    connect(client_, &QTcpSocket::readyRead, this,
            [this] { Q_EMIT received(client_->readAll()); });
    connect(client_, &QTcpSocket::disconnected, this, [this] {
        client_->deleteLater();
        client_ = nullptr;
        Q_EMIT closed();
        onNewConnection();
    });
    Q_EMIT note(QStringLiteral("client connected"));
    Q_EMIT opened();
    if (client_ && client_->bytesAvailable() > 0)  // sent while it waited in the queue
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

bool SerialLink::applySettings(QString* error) {
    const QByteArrayList f = settings_.split(',');
    bool ok = f.size() == 4;
    const int baud = ok ? f[0].toInt(&ok) : 0;
    static constexpr struct {
        char letter;
        QSerialPort::Parity parity;
    } parities[] = {{'n', QSerialPort::NoParity},
                    {'e', QSerialPort::EvenParity},
                    {'o', QSerialPort::OddParity},
                    {'m', QSerialPort::MarkParity},
                    {'s', QSerialPort::SpaceParity}};
    QSerialPort::Parity parity = QSerialPort::NoParity;
    bool parityOk = false;
    for (const auto& p : parities)
        if (ok && f[1].toLower() == QByteArray(1, p.letter))
            parity = p.parity, parityOk = true;
    const int dataBits = ok ? f[2].toInt() : 0;
    const bool stopOk = ok && (f[3] == "1" || f[3] == "2");
    if (!ok || baud <= 0 || !parityOk || dataBits < 5 || dataBits > 8 || !stopOk) {
        *error = QStringLiteral("bad --settings: ") + QString::fromLatin1(settings_);
        return false;
    }
    if (port_->setBaudRate(baud) && port_->setParity(parity) &&
        port_->setDataBits(QSerialPort::DataBits(dataBits)) &&
        port_->setStopBits(f[3] == "2" ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
        port_->setFlowControl(QSerialPort::NoFlowControl))
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
