#pragma once

#include "config/ConnectionOpener.h"

#include <QByteArrayList>
#include <functional>

namespace znr::test {

// Records what the dialogs hand over: "E|host|port" or "S|port|settings|handshaking|dtr|rts".
// `during` runs inside each call, where a real opener would process events.
class RecordingOpener final : public ConnectionOpener {
public:
    void openEthernet(const EthernetInstrument& i) override {
        calls.append("E|" + i.ip + '|' + QByteArray::number(i.port));
        if (during)
            during();
    }
    void openSerial(const SerialInstrument& i) override {
        calls.append("S|" + i.commPort + '|' + i.settings + '|' +
                     QByteArray::number(i.handShaking) + '|' + (i.dtr ? '1' : '0') + '|' +
                     (i.rts ? '1' : '0'));
        if (during)
            during();
    }

    QByteArrayList calls;
    std::function<void()> during;
};

} // namespace znr::test
