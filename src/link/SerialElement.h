#pragma once

#include "link/SerialSettings.h"
#include "link/TransportElement.h"

#include <QByteArray>
#include <functional>

class QSerialPort;

namespace znr {

// One serial line to an instrument. Properties may be set while the port is closed and take
// effect when it opens; Settings, DTREnable and RTSEnable also apply at once on an open port.
class ISerialElement : public TransportElement {
    Q_OBJECT
public:
    using TransportElement::TransportElement;

    virtual qint16 CommPort() const = 0;
    virtual void setCommPort(qint16 comPort) = 0;         // 1 is the first port
    virtual QByteArray Settings() const = 0;              // exactly as last set
    virtual void setSettings(const QByteArray& text) = 0; // Failure for a text it cannot apply
    virtual bool DTREnable() const = 0;
    virtual void setDTREnable(bool on) = 0;
    virtual bool RTSEnable() const = 0;
    virtual void setRTSEnable(bool on) = 0;
    virtual qint16 RThreshold() const = 0; // bytes waiting that raise commEvent; 0: none
    virtual void setRThreshold(qint16 n) = 0;
    virtual qint16 SThreshold() const = 0; // commEvent when fewer bytes than this await sending
    virtual void setSThreshold(qint16 n) = 0;
    virtual bool PortOpen() const = 0;
    // true opens the port (Failure when missing or busy), false closes it.
    virtual void setPortOpen(bool open) = 0;
    virtual void Output(const QByteArray& data) = 0; // one write; Failure when closed
    virtual QByteArray Input() = 0;                  // everything waiting; Failure when closed

Q_SIGNALS:
    // Received bytes and any other port event; the handler reads Input().
    void commEvent(int index);
    // The device went away: the port has been closed, once. Raised once per opening.
    void deviceLost(int index, int number, QByteArray description);
};

// Maps a COM number to its device path.
using SerialDeviceResolver = std::function<QByteArray(int comPort)>;

// The element over QSerialPort, without flow control.
class SerialElement final : public ISerialElement {
    Q_OBJECT
public:
    SerialElement(int index, SerialDeviceResolver resolve);

    qint16 CommPort() const override { return commPort_; }
    void setCommPort(qint16 comPort) override;
    QByteArray Settings() const override { return settingsText_; }
    void setSettings(const QByteArray& text) override;
    bool DTREnable() const override { return dtr_; }
    void setDTREnable(bool on) override;
    bool RTSEnable() const override { return rts_; }
    void setRTSEnable(bool on) override;
    qint16 RThreshold() const override { return rThreshold_; }
    void setRThreshold(qint16 n) override { rThreshold_ = n; }
    qint16 SThreshold() const override { return sThreshold_; }
    void setSThreshold(qint16 n) override { sThreshold_ = n; }
    bool PortOpen() const override;
    void setPortOpen(bool open) override;
    void Output(const QByteArray& data) override;
    QByteArray Input() override;
    void retire() override;

private:
    void open();
    void applyLine(const SerialLineSettings& s, const QByteArray& text);
    void applyModemLines();
    void requireOpen() const;
    void onReadyRead();
    void onBytesWritten();
    void onPortError();
    void loseDevice();

    QSerialPort* port_;
    SerialDeviceResolver resolve_;
    qint16 commPort_ = 1;
    QByteArray settingsText_ = "9600,n,8,1";
    SerialLineSettings line_;
    bool dtr_ = false;
    bool rts_ = false;
    qint16 rThreshold_ = 0;
    qint16 sThreshold_ = 0;
    bool configuring_ = false; // port errors are ours to report while set
    bool lost_ = false;
    int errorsInARow_ = 0;
};

} // namespace znr
