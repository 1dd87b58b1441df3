#pragma once

#include <QByteArray>

namespace znr {

// What a connection was opened with: host and port, or COM port and line settings.
struct Endpoint {
    QByteArray ip;
    quint16 port = 0;
    QByteArray commPort; // COM port number as decimal text
    QByteArray settings; // serial line settings, e.g. "9600,n,8,1"
    qint16 handShaking = 0;
    bool dtr = false;
    bool rts = false;
};

} // namespace znr
