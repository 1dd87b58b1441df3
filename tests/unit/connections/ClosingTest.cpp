#include "unit/connections/ConnectionsFixture.h"

#include <QPointer>

namespace znr::test {
namespace {

using Col = ConnectionList::Column;

struct ClosingTest : ConnectionsFixture {};

// Disconnect keeps the row; Delete takes the row and the line and leaves an empty entry.
TEST_F(ClosingTest, DisconnectKeepsTheRowAndDeleteTakesIt) {
    for (int k = 1; k <= 3; ++k)
        openHost(host(k));
    clock.advanceMs(60'000);
    act(&Connections::disconnectSelected, 1);
    EXPECT_EQ(link(2).closeCalls, 1);
    EXPECT_EQ(list.cell(1, Col::StatusColumn), "Disconnected");
    EXPECT_EQ(list.cell(1, Col::LastUpdatedColumn), now());
    QPointer<FakeLink> first = &link(1);
    act(&Connections::deleteSelected, 0);
    runEvents();
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(c.channelOf(1), nullptr); // its batch and raw record went with it
    EXPECT_EQ(list.connectedCount(), 1);
    act(&Connections::deleteSelected, 0); // a disconnected row goes the same way
    EXPECT_EQ(rowIndexes(), QList<int>{3});
    act(&Connections::disconnectAll);
    EXPECT_EQ(link(3).closeCalls, 1);
    EXPECT_EQ(column(Col::StatusColumn), QByteArrayList{"Disconnected"});
    EXPECT_NE(list.cell(0, Col::LastUpdatedColumn), now()); // All leaves the times alone
    EXPECT_EQ(list.connectedCount(), 0);
}

// A line that does not close by the deadline is logged, and its row and index stay; one found
// closed as the deadline passes has closed.
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
        t.act(k.operation, 1); // found closed as the deadline passes, though not reported yet
        t.link(2).holdClose = false;
        t.link(2).close();
        runEvents();
        EXPECT_EQ(t.list.connectedCount(), 1);
        EXPECT_EQ(t.logEntries().size(), 1);
    }
}

// Shutdown ends at its deadline too; a line found closed then is no failure.
TEST_F(ClosingTest, ShutdownEndsAtItsDeadlineAndLogsTheLineThatDidNotClose) {
    for (int k = 1; k <= 2; ++k) {
        openHost(host(k));
        link(k).holdClose = true;
    }
    c.deadlineMs = 0;
    int done = 0;
    c.shutDown([&] { ++done; });
    link(2).holdClose = false;
    link(2).close();
    runEvents();
    EXPECT_EQ(done, 1);
    EXPECT_EQ(logEntries(), QByteArrayList{"frmZNRInterface.Form_Unload, 0, Winsock Error Closing "
                                           "Connection"});
}

TEST_F(ClosingTest, ShutdownClosesEveryLineTogetherAndForgetsEveryConnection) {
    for (int k = 1; k <= 3; ++k)
        openHost(host(k));
    links.opening = FakeLink::Opening::Later;
    openHost(host(4)); // an opening the shutdown cuts short says nothing
    link(1).holdClose = true;
    link(3).holdClose = true;
    int done = 0;
    c.shutDown([&] { ++done; });
    EXPECT_EQ(link(2).closeCalls, 1);
    link(3).finishClose();
    EXPECT_EQ(done, 0);
    link(1).finishClose();
    EXPECT_EQ(done, 1);
    runEvents();
    EXPECT_TRUE(links.to(host(1)) == nullptr && links.to(host(4)) == nullptr);
    EXPECT_FALSE(c.hasEntry(1) || c.openingsPending());
    EXPECT_EQ(logEntries(), QByteArrayList{});
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
    second->receive(wireFrame("RST", ""));
    runEvents();
    EXPECT_TRUE(l.isNull() && second.isNull());
}

} // namespace
} // namespace znr::test
