#pragma once

#include <QByteArray>

namespace znr {

// What loading the settings and the connection dialogs hand instruments to: the main window's
// create operations.
class ConnectionOpener {
public:
    virtual ~ConnectionOpener() = default;
    virtual void CreateEthernetConnection(const QByteArray& ip, quint16 port) = 0;
    virtual void CreateSerialConnection(const QByteArray& commPort, const QByteArray& settings) = 0;
};

} // namespace znr
