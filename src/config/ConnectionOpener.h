#pragma once

#include <QByteArray>

namespace znr {

// One instrument as an [ZNR-ENTn] section of the settings file or the Ethernet dialog gives it.
struct EthernetInstrument {
    QByteArray ip;
    quint16 port = 0;
};

// One instrument as an [ZNR-SERn] section or the serial dialog gives it.
struct SerialInstrument {
    QByteArray commPort; // COM port number as decimal text
    QByteArray settings; // "9600,n,8,1"
    qint16 handShaking = 0;
    bool dtr = false;
    bool rts = false;
};

// What loading the settings and the connection dialogs hand instruments to: the run's
// connections, which open them.
class ConnectionOpener {
public:
    virtual ~ConnectionOpener() = default;
    virtual void openEthernet(const EthernetInstrument& instrument) = 0;
    virtual void openSerial(const SerialInstrument& instrument) = 0;
};

} // namespace znr
