#pragma once

#include <QByteArray>
#include <QSerialPort>

namespace znr {

struct AppSettings;

// Serial failure numbers, in the numbering log readers know.
namespace CommErrorNo {
inline constexpr int InvalidPropertyValue = 380;
inline constexpr int InvalidPortNumber = 8002;
inline constexpr int PortAlreadyOpen = 8005;
inline constexpr int PortNotOpen = 8018; // Output or Input on a closed port
inline constexpr int ReadFailed = 8020;  // the device went away
} // namespace CommErrorNo

// A line-settings text such as "9600,n,8,1": baud rate (any positive whole number), parity
// letter n/o/e/m/s (either case), data bits 5..8, stop bits 1, 1.5 or 2.
struct SerialLineSettings {
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

// Throws Failure InvalidPropertyValue for a text that is malformed or that this system's ports
// cannot carry out (1.5 stop bits off Windows: the serial layer would quietly use 1).
SerialLineSettings parseSerialSettings(const QByteArray& text);

// The device of COM port `comPort`: the [SERIAL PORTS] entry when there is one, otherwise the
// system's own name for it (/dev/ttyS<n-1> on Linux, COM<n> on Windows).
QByteArray serialDeviceFor(int comPort, const AppSettings& settings);

} // namespace znr
