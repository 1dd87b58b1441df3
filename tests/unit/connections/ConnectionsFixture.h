#pragma once

#include "config/AppSettings.h"
#include "core/DateTimeText.h"
#include "core/ErrorLog.h"
#include "protocol/Channel.h"
#include "protocol/ControlChars.h"
#include "protocol/DebugTextSink.h"
#include "protocol/ProtocolContext.h"
#include "protocol/ReceivePath.h"
#include "station/Connections.h"
#include "station/ListRows.h"
#include "station/MemoryConnectionList.h"
#include "support/FakeClock.h"
#include "support/FakePump.h"
#include "support/FakeSerialElement.h"
#include "support/FakeSocketElement.h"
#include "support/FileBytes.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <QFile>
#include <QPointer>
#include <gtest/gtest.h>
#include <map>

namespace znr::test {

inline const QByteArray Greeting(ctl::ACK8.data(), 2); // ACK8, sent on every open

// One frame as an instrument sends it.
inline QByteArray instrumentFrame(const char* type, const QByteArray& payload) {
    return QByteArray(1, ctl::SOH) + '1' + type + ctl::STX + payload + ctl::ETX + ctl::EOT;
}

class NoDebugText final : public DebugTextSink {
public:
    void appendText(const QByteArray&) override {}
};

// The connection operations over a list in memory, fake elements, a fake clock and a pump
// that advances it: an Ethernet run unless a test switches DefaultStartup.
struct ConnectionsFixture : ::testing::Test {
    TempDir dir;
    AppSettings settings;
    FakeClock clock;
    ErrorLog log{settings.ErrorLogFolder, clock};
    Channels channels;
    MemoryConnectionList list;
    ListRows rows{list};
    ProtocolContext ctx{settings, log, clock, rows};
    bool debugMode = false;
    NoDebugText debugText;
    ReceivePath receivePath{ctx, debugMode, debugText};
    FakePump pump{clock};

    // What the next socket made reaches on Connect, and what a port's opening throws.
    int nextConnectState = SocketState::Connected;
    std::optional<Failure> nextSendFailure;
    std::optional<Failure> nextOpenFailure;
    // The latest element made for each index, and how many were made.
    std::map<int, QPointer<FakeSocketElement>> sockets;
    std::map<int, int> socketsMade;
    std::map<int, QPointer<FakeSerialElement>> ports;
    std::map<int, int> portsMade;

    Connections c{{settings, channels, log, clock, pump, list, receivePath},
                  [this](int i) {
                      auto e = std::make_unique<FakeSocketElement>(i);
                      e->stateAfterConnect = nextConnectState;
                      e->sendFailure = nextSendFailure;
                      sockets[i] = e.get();
                      ++socketsMade[i];
                      return e;
                  },
                  [this](int i) {
                      auto e = std::make_unique<FakeSerialElement>(i);
                      e->openFailure = nextOpenFailure;
                      ports[i] = e.get();
                      ++portsMade[i];
                      return e;
                  }};

    ConnectionsFixture() {
        settings.DefaultStartup = "ETHERNET";
        settings.ArchiveRawFile = "NO";
        settings.DataLayoutColumn = true;
        settings.ErrorLogFolder = dir.sub("Error Log");
        settings.DataFolder = dir.sub("Data Files");
    }

    void serialRun() { settings.DefaultStartup = "SERIAL"; }

    // As the start-up and the dialog call it: the current values first.
    void createEthernet(const QByteArray& ip, quint16 port) {
        settings.CurrentIP = ip;
        settings.CurrentPort = port;
        c.CreateEthernetConnection(settings.CurrentIP, settings.CurrentPort);
    }
    void createSerial(const QByteArray& com, const QByteArray& lineSettings = "9600,n,8,1",
                      bool dtr = false, bool rts = false) {
        settings.CurrentCommPort = com;
        settings.CurrentSettings = lineSettings;
        settings.CurrentHandShaking = 2;
        settings.CurrentDTR = dtr;
        settings.CurrentRTS = rts;
        c.CreateSerialConnection(settings.CurrentCommPort, settings.CurrentSettings);
    }
    // Connections to 10.0.0.1..n on port 10001, indexes 1..n.
    void createHosts(int n) {
        for (int k = 1; k <= n; ++k)
            createEthernet(host(k), 10001);
    }
    static QByteArray host(int k) { return "10.0.0." + QByteArray::number(k); }

    FakeSocketElement& socket(int i) {
        EXPECT_TRUE(sockets[i]) << "no socket " << i;
        return *sockets[i];
    }
    FakeSerialElement& port(int i) {
        EXPECT_TRUE(ports[i]) << "no port " << i;
        return *ports[i];
    }

    void select(int position) { list.select(position); }
    QByteArray cell(int position, ConnectionList::Column column) const {
        return list.cell(position, column);
    }
    // The texts of every row, one list per row.
    QList<QByteArrayList> rowTexts() const {
        QList<QByteArrayList> out;
        for (int p = 0; p < list.rowCount(); ++p) {
            QByteArrayList texts;
            for (int col = 0; col < ConnectionList::ColumnCount; ++col)
                texts.append(list.cell(p, ConnectionList::Column(col)));
            out.append(texts);
        }
        return out;
    }
    QList<int> rowIndexes() const {
        QList<int> out;
        for (int p = 0; p < list.rowCount(); ++p)
            out.append(list.indexAt(p));
        return out;
    }
    QByteArray now() const { return generalDateTime(clock.now()); }

    QByteArrayList logLines() const {
        QByteArrayList lines = readBytes(settings.ErrorLogFolder + "ZNRError.log").split('\n');
        QByteArrayList out;
        for (QByteArray& l : lines)
            if (!l.isEmpty())
                out.append(l.chopped(l.endsWith('\r') ? 1 : 0));
        return out;
    }
    // The log's lines without their time stamps.
    QByteArrayList logEntries() const {
        QByteArrayList out;
        for (const QByteArray& l : logLines())
            out.append(l.left(l.lastIndexOf(", ")));
        return out;
    }
    void clearLog() const { QFile::remove(QString::fromLocal8Bit(log.logPath())); }
    // A log line as the log writes it, stamped with the fake clock's time now.
    QByteArray logLine(const char* procedure, int number, const char* description) const {
        return QByteArray(procedure) + ", " + QByteArray::number(number) + ", " + description +
               ", " + now();
    }
};

} // namespace znr::test
