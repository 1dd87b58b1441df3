#include "unit/connections/ConnectionsFixture.h"

#include <QPointer>

namespace znr::test {
namespace {

using Col = ConnectionList::Column;

struct ClosingTest : ConnectionsFixture {};

TEST_F(ClosingTest, DisconnectClosesTheSelectedLineAndKeepsItsRow) {
    for (bool serial : {false, true}) {
        SCOPED_TRACE(serial ? "serial" : "tcp");
        FreshRun t;
        t.openInstrument(1, serial);
        t.openInstrument(2, serial);
        t.clock.advanceMs(60'000);
        t.act(&Connections::disconnectSelected, 1);
        EXPECT_EQ(t.link(2, serial).closeCalls, 1);
        EXPECT_EQ(t.link(1, serial).closeCalls, 0);
        EXPECT_EQ(t.column(Col::StatusColumn), (QByteArrayList{"Connected", "Disconnected"}));
        EXPECT_EQ(t.cell(1, Col::LastUpdatedColumn), t.now());
        EXPECT_EQ(t.list.countText(), "1");
        t.act(&Connections::disconnectAll);
        EXPECT_EQ(t.link(1, serial).closeCalls, 1);
        EXPECT_EQ(t.column(Col::StatusColumn), (QByteArrayList{"Disconnected", "Disconnected"}));
        EXPECT_NE(t.cell(0, Col::LastUpdatedColumn), t.now()); // All leaves the times alone
        EXPECT_EQ(t.list.countText(), "0");
        EXPECT_EQ(t.logEntries(), QByteArrayList{});
    }
}

TEST_F(ClosingTest, DeleteRemovesTheRowAndTheLineAndKeepsAnEmptyEntry) {
    for (bool serial : {false, true}) {
        SCOPED_TRACE(serial ? "serial" : "tcp");
        FreshRun t;
        t.openInstrument(1, serial);
        t.openInstrument(2, serial);
        QPointer<FakeLink> first = &t.link(1, serial);
        t.act(&Connections::deleteSelected, 0);
        runEvents();
        EXPECT_TRUE(first.isNull());
        EXPECT_TRUE(t.c.hasEntry(1));
        EXPECT_EQ(t.c.channelOf(1), nullptr); // its batch and raw record went with it
        EXPECT_EQ(t.rowIndexes(), QList<int>{2});
        EXPECT_EQ(t.list.countText(), "1");
        t.act(&Connections::disconnectSelected, 0);
        t.act(&Connections::deleteSelected, 0); // a disconnected row goes the same way
        EXPECT_EQ(t.list.countText(), "0");
        EXPECT_EQ(t.logEntries(), QByteArrayList{});
    }
}

// A line that does not close by the deadline is logged, and its row and index stay.
TEST_F(ClosingTest, LineThatDoesNotCloseIsLoggedAndKeepsItsRow) {
    const struct {
        void (Connections::*operation)();
        const char* logged;
    } cases[] = {
        {&Connections::disconnectSelected,
         "frmZNRInterface.DisconnectConnection, 0, Winsock Error Closing Connection"},
        {&Connections::deleteSelected,
         "frmZNRInterface.cmdDeleteConnection_Click, 0, Winsock Error Closing Connection"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.logged);
        FreshRun t;
        t.openHost(host(1));
        t.openHost(host(2));
        t.link(1).holdClose = true;
        t.link(2).holdClose = true;
        t.c.deadlineMs = 0;
        t.act(k.operation, 0);
        runEvents();
        EXPECT_EQ(t.logEntries(), QByteArrayList{k.logged});
        EXPECT_EQ(t.rowIndexes(), (QList<int>{1, 2}));
        EXPECT_EQ(t.column(Col::StatusColumn), (QByteArrayList{"Connected", "Connected"}));
        EXPECT_EQ(t.c.indexes().freeList, "");
        t.c.deadlineMs = 5000; // a close that finishes in time is no failure
        t.act(k.operation, 1);
        EXPECT_EQ(t.list.rowCount(), 2);
        t.link(2).finishClose();
        EXPECT_EQ(t.list.countText(), "1");
        EXPECT_EQ(t.logEntries().size(), 1);
    }
}

TEST_F(ClosingTest, ShutdownClosesEveryLineTogetherAndForgetsEveryConnection) {
    openHost(host(1));
    openHost(host(2));
    openHost(host(3));
    links.opening = FakeLink::Opening::Later;
    openHost(host(4)); // an opening the shutdown cuts short says nothing
    link(1).holdClose = true;
    link(3).holdClose = true;
    int done = 0;
    c.shutDown([&] { ++done; });
    EXPECT_EQ(link(2).closeCalls, 1);
    EXPECT_EQ(done, 0);
    link(3).finishClose();
    EXPECT_EQ(done, 0);
    link(1).finishClose();
    EXPECT_EQ(done, 1);
    runEvents();
    EXPECT_TRUE(links.to(host(1)) == nullptr && links.to(host(4)) == nullptr);
    EXPECT_FALSE(c.hasEntry(1) || c.openingsPending());
    EXPECT_EQ(logEntries(), QByteArrayList{});
}

TEST_F(ClosingTest, ShutdownLogsEachLineThatDoesNotCloseAndStillEnds) {
    for (int k = 1; k <= 3; ++k)
        openCom(QByteArray::number(k));
    links.toCom(1)->holdClose = true;
    links.toCom(3)->holdClose = true;
    c.deadlineMs = 0;
    int done = 0;
    c.shutDown([&] { ++done; });
    runEvents();
    EXPECT_EQ(done, 1);
    EXPECT_EQ(logEntries(), QByteArrayList(2, "frmZNRInterface.Form_Unload, 0, Winsock Error "
                                              "Closing Connection"));
}

// A handler may take away the line whose event it is handling.
TEST_F(ClosingTest, HandlerMayDestroyTheLineThatRaisedItsEvent) {
    openHost(host(1));
    QPointer<FakeLink> l = &link(1);
    QObject::connect(l, &Link::dropped, [this] { act(&Connections::deleteSelected); });
    QObject::connect(l, &Link::received, [this] { c.shutDown(); });
    l->drop(10054, "Connection is reset by remote side");
    EXPECT_EQ(list.rowCount(), 0);
    openHost(host(2));
    QPointer<FakeLink> second = &link(2);
    QObject::connect(second, &Link::received, [this] { c.shutDown(); });
    second->receive(instrumentFrame("RST", ""));
    runEvents();
    EXPECT_TRUE(l.isNull() && second.isNull());
}

} // namespace
} // namespace znr::test
