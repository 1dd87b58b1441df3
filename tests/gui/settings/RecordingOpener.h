#pragma once

#include "config/ConnectionOpener.h"

#include <QByteArrayList>
#include <functional>

namespace znr::test {

// Records what the dialogs hand to the main window: "E|host|port" or "S|port|settings".
// `during` runs inside each call, where a real opener would process events.
class RecordingOpener final : public ConnectionOpener {
public:
    void CreateEthernetConnection(const QByteArray& ip, quint16 port) override {
        calls.append("E|" + ip + '|' + QByteArray::number(port));
        if (during)
            during();
    }
    void CreateSerialConnection(const QByteArray& commPort, const QByteArray& settings) override {
        calls.append("S|" + commPort + '|' + settings);
        if (during)
            during();
    }

    QByteArrayList calls;
    std::function<void()> during;
};

} // namespace znr::test
