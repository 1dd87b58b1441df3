#pragma once

#include "link/Link.h"

class QTcpSocket;

namespace znr {

// A TCP client line over QTcpSocket. Replies go out without Nagle delay.
class TcpLink final : public Link {
    Q_OBJECT
public:
    TcpLink(QByteArray host, quint16 port);

    void open() override;
    void close() override;
    bool isOpen() const override;
    void write(const QByteArray& bytes) override;

private:
    qsizetype sendAtOnce(const QByteArray& bytes);
    void onReadyRead();
    void onSocketError();
    void onDisconnected();

    QTcpSocket* socket_;
    QByteArray host_;
    quint16 port_;
    bool dropReported_ = false; // one drop per opening or connection
    bool closing_ = false;      // a close is delivering the last bytes
};

} // namespace znr
