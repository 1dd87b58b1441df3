#pragma once

#include "link/Link.h"
#include "link/SerialSettings.h"

#include <functional>

class QSerialPort;

namespace znr {

// Maps a COM number to its device path.
using SerialDeviceResolver = std::function<QByteArray(int comPort)>;

// A serial line over QSerialPort, without flow control. Opening applies the endpoint's COM
// port, settings text and DTR/RTS lines, and fails with the number log readers know.
class SerialLink final : public Link {
    Q_OBJECT
public:
    SerialLink(LinkEndpoint endpoint, SerialDeviceResolver resolve);

    void open() override;
    void close() override;
    bool isOpen() const override;
    void write(const QByteArray& bytes) override;

private:
    void openPort();
    void configure();
    void applyModemLines();
    void onReadyRead();
    void onPortError();
    void loseDevice();

    QSerialPort* port_;
    LinkEndpoint endpoint_;
    SerialDeviceResolver resolve_;
    bool configuring_ = false; // port errors are ours to report while set
    bool lost_ = false;
    int errorsInARow_ = 0;
};

} // namespace znr
