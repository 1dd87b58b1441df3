#pragma once

#include "core/Failure.h"
#include "link/SerialElement.h"

#include <QByteArrayList>
#include <optional>

namespace znr::test {

// A serial element the test drives: it keeps the properties, checks Settings with the real
// parser, records what is written and lets the test feed bytes, raise events, lose the device
// or make opening fail.
class FakeSerialElement final : public ISerialElement {
public:
    using ISerialElement::ISerialElement;

    // --- what the test arranges
    std::optional<Failure> openFailure;   // thrown by every PortOpen = true while set
    std::optional<Failure> outputFailure; // thrown by every Output while set

    // --- what the test observes
    QByteArrayList written; // one entry per Output
    // Every property set and every Output, in order: "CommPort=3", "PortOpen=true", "Output".
    QByteArrayList calls;
    int openCalls = 0;
    bool retired = false;

    // Bytes arrive: they wait for Input and commEvent is raised (when RThreshold > 0).
    void feed(const QByteArray& bytes);
    // Any other port event (line change, error), with or without bytes waiting.
    void raiseEvent();
    // The device vanishes: the port closes and deviceLost is raised.
    void loseDevice(int number, const QByteArray& description);

    qint16 CommPort() const override { return commPort_; }
    void setCommPort(qint16 comPort) override;
    QByteArray Settings() const override { return settings_; }
    void setSettings(const QByteArray& text) override;
    bool DTREnable() const override { return dtr_; }
    void setDTREnable(bool on) override {
        calls.append(on ? "DTREnable=true" : "DTREnable=false");
        dtr_ = on;
    }
    bool RTSEnable() const override { return rts_; }
    void setRTSEnable(bool on) override {
        calls.append(on ? "RTSEnable=true" : "RTSEnable=false");
        rts_ = on;
    }
    qint16 RThreshold() const override { return rThreshold_; }
    void setRThreshold(qint16 n) override {
        calls.append("RThreshold=" + QByteArray::number(n));
        rThreshold_ = n;
    }
    qint16 SThreshold() const override { return sThreshold_; }
    void setSThreshold(qint16 n) override {
        calls.append("SThreshold=" + QByteArray::number(n));
        sThreshold_ = n;
    }
    bool PortOpen() const override { return open_; }
    void setPortOpen(bool open) override;
    void Output(const QByteArray& data) override;
    QByteArray Input() override;
    void retire() override;

private:
    qint16 commPort_ = 1;
    QByteArray settings_ = "9600,n,8,1";
    bool dtr_ = false;
    bool rts_ = false;
    qint16 rThreshold_ = 0;
    qint16 sThreshold_ = 0;
    bool open_ = false;
    QByteArray waiting_;
};

} // namespace znr::test
