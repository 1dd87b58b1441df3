#include "link/SerialSettings.h"

#include "config/AppSettings.h"
#include "core/Failure.h"

#include <QList>

namespace znr {

namespace {

[[noreturn]] void reject(const QByteArray& text, const char* why) {
    throw Failure(CommErrorNo::InvalidPropertyValue,
                  "Invalid property value: settings \"" + text + "\" (" + why + ")");
}

bool allDigits(const QByteArray& s) {
    if (s.isEmpty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

QSerialPort::Parity parityOf(const QByteArray& text, const QByteArray& field) {
    if (field.size() == 1) {
        switch (field[0] | 0x20) {
        case 'n':
            return QSerialPort::NoParity;
        case 'o':
            return QSerialPort::OddParity;
        case 'e':
            return QSerialPort::EvenParity;
        case 'm':
            return QSerialPort::MarkParity;
        case 's':
            return QSerialPort::SpaceParity;
        }
    }
    reject(text, "parity must be n, o, e, m or s");
}

QSerialPort::StopBits stopBitsOf(const QByteArray& text, const QByteArray& field) {
    if (field == "1")
        return QSerialPort::OneStop;
    if (field == "2")
        return QSerialPort::TwoStop;
    if (field == "1.5") {
#ifdef Q_OS_WIN
        return QSerialPort::OneAndHalfStop;
#else
        reject(text, "1.5 stop bits are not supported on this system");
#endif
    }
    reject(text, "stop bits must be 1, 1.5 or 2");
}

} // namespace

SerialLineSettings parseSerialSettings(const QByteArray& text) {
    const QList<QByteArray> f = text.split(',');
    if (f.size() != 4)
        reject(text, "expected baud,parity,data bits,stop bits");
    SerialLineSettings s;
    bool ok = false;
    const int baud = f[0].toInt(&ok);
    if (!allDigits(f[0]) || !ok || baud <= 0)
        reject(text, "baud rate must be a positive whole number");
    s.baudRate = baud;
    s.parity = parityOf(text, f[1]);
    if (f[2].size() != 1 || f[2][0] < '5' || f[2][0] > '8')
        reject(text, "data bits must be 5, 6, 7 or 8");
    s.dataBits = static_cast<QSerialPort::DataBits>(f[2][0] - '0');
    s.stopBits = stopBitsOf(text, f[3]);
    return s;
}

QByteArray serialDeviceFor(int comPort, const AppSettings& settings) {
    const auto it = settings.serialPortDevices.find(comPort);
    if (it != settings.serialPortDevices.end() && !it->second.isEmpty())
        return it->second;
#ifdef Q_OS_WIN
    return "COM" + QByteArray::number(comPort);
#else
    return "/dev/ttyS" + QByteArray::number(comPort - 1);
#endif
}

} // namespace znr
