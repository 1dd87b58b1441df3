#pragma once

#include "config/AppSettings.h"
#include "core/DateTimeText.h"
#include "core/ErrorLog.h"
#include "protocol/Channel.h"
#include "protocol/DebugTextSink.h"
#include "protocol/ProtocolContext.h"
#include "protocol/ReceivePath.h"
#include "station/ConnectionList.h"
#include "station/Connections.h"
#include "station/ListRows.h"
#include "support/FakeClock.h"
#include "support/FakeLink.h"
#include "support/FileBytes.h"
#include "support/Frames.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace znr::test {

class NoDebugText final : public DebugTextSink {
public:
    void appendText(const QByteArray&) override {}
};

// The connection operations over a list in memory, fake links and a fake clock. Deadlines are
// not waited for: a test that needs one to pass sets deadlineMs to 0 and runs the events.
struct ConnectionsFixture : ::testing::Test {
    TempDir dir;
    AppSettings settings;
    FakeClock clock;
    ErrorLog log{settings.errorLogFolder, clock};
    ConnectionList list;
    ListRows rows{list};
    ProtocolContext ctx{settings, log, clock, rows};
    bool debugMode = false;
    NoDebugText debugText;
    ReceivePath receivePath{ctx, debugMode, debugText};
    FakeLinks links;
    Connections c{{settings, log, clock, list, receivePath}, links.factory()};

    ConnectionsFixture() {
        settings.archiveRawFile = "NO";
        settings.dataLayoutColumn = true;
        settings.errorLogFolder = dir.sub("Error Log");
        settings.dataFolder = dir.sub("Data Files");
        settings.rawFileFolder = dir.sub("Raw Files");
        list.setConnectedCount(0);
    }

    // As the start-up and the dialogs call them.
    void openHost(const QByteArray& ip, quint16 port = 10001) { c.openEthernet({ip, port}); }
    void openCom(const QByteArray& com, const QByteArray& lineSettings = "9600,n,8,1",
                 bool dtr = false) {
        c.openSerial({com, lineSettings, 0, dtr, false});
    }
    static QByteArray host(int k) { return "10.0.0." + QByteArray::number(k); }
    FakeLink& link(int k) {
        FakeLink* l = links.to(host(k));
        EXPECT_NE(l, nullptr) << "no link to instrument " << k;
        return *l;
    }
    static void runEvents() {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void act(void (Connections::*operation)(), int position = 0) {
        list.select(position);
        (c.*operation)();
    }
    QByteArrayList column(ConnectionList::Column col) const {
        QByteArrayList out;
        for (int p = 0; p < list.rowCount(); ++p)
            out.append(list.cell(p, col));
        return out;
    }
    QList<int> rowIndexes() const {
        QList<int> out;
        for (int p = 0; p < list.rowCount(); ++p)
            out.append(list.indexAt(p));
        return out;
    }
    QByteArray now() const { return generalDateTime(clock.now()); }
    // The log's lines without their time stamps.
    QByteArrayList logEntries() const {
        QByteArrayList out;
        for (const QByteArray& l : readBytes(settings.errorLogFolder + "ZNRError.log").split('\n'))
            if (!l.isEmpty())
                out.append(l.left(l.lastIndexOf(", ")));
        return out;
    }
};

// A fixture of its own for each row of a table.
struct FreshRun final : ConnectionsFixture {
    void TestBody() override {}
};

} // namespace znr::test
