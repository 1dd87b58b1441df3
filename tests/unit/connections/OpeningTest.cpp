#include "unit/connections/ConnectionsFixture.h"

namespace znr::test {
namespace {

using Col = ConnectionList::Column;

struct OpeningTest : ConnectionsFixture {};

// The count is the number shown plus one per connection, even when the number shown was stale.
TEST_F(OpeningTest, NewConnectionIsGreetedFirstAndGetsAConnectedRow) {
    list.setConnectedCount(7);
    openHost("10.0.0.7", 3001);
    openCom("4", "19200,e,7,2", true);
    const LinkEndpoint& com = links.toCom(4)->endpoint;
    EXPECT_EQ(std::tuple(com.settings, com.dtr, com.rts), std::tuple("19200,e,7,2", true, false));
    for (FakeLink* l : {links.to("10.0.0.7"), links.toCom(4)})
        EXPECT_EQ(l->written, QByteArrayList{kAck8});
    EXPECT_EQ(column(Col::EndpointColumn), (QByteArrayList{"10.0.0.7", "4"}));
    EXPECT_EQ(column(Col::ParameterColumn), (QByteArrayList{"3001", "19200,e,7,2"}));
    EXPECT_EQ(column(Col::IdColumn), (QByteArrayList{"N/A", "N/A"}));
    EXPECT_EQ(list.cell(1, Col::LastUpdatedColumn), now());
    EXPECT_EQ(list.connectedCount(), 9);
}

TEST_F(OpeningTest, UnusableArgumentsAndOpenEndpointsDoNothing) {
    openHost(host(1));
    openCom("3");
    act(&Connections::disconnectAll); // a disconnected row still holds its endpoint
    const size_t made = links.made.size();
    openHost("", 10001);
    openHost(host(2), 0);
    openHost(host(1));
    openCom("3", "4800,n,8,1");
    openCom("0");
    openCom("5", "");
    EXPECT_EQ(links.made.size(), made);
    EXPECT_EQ(list.rowCount(), 2);
    links.opening = FakeLink::Opening::Later;
    openHost(host(2));
    openHost(host(2)); // asked for again while its opening is under way
    EXPECT_EQ(links.made.size(), made + 1);
    openCom("x");
    EXPECT_EQ(logEntries(), QByteArrayList{"frmZNRInterface.CreateSerialConnection, 13, Type "
                                           "mismatch"});
}

// What a failed opening logs, and that it leaves the endpoint free and the next index unused.
TEST_F(OpeningTest, FailedOpeningsAreLoggedOnceAndLeaveNoRow) {
    const struct {
        const char* name;
        std::function<void(FreshRun&)> fail;
        const char* logged;
    } cases[] = {
        {"refused",
         [](FreshRun& t) {
             t.links.opening = FakeLink::Opening::Later;
             t.openHost(host(1));
             t.link(1).drop(10061, "Connection is forcefully rejected");
         },
         "frmZNRInterface.CreateEthernetConnection, 0, Winsock Error Connection Unavailable"},
        {"unreachable",
         [](FreshRun& t) {
             t.links.opening = FakeLink::Opening::Later;
             t.c.deadlineMs = 0;
             t.openHost(host(1));
             EXPECT_EQ(t.logEntries(), QByteArrayList{}); // nothing before the deadline
             runEvents();
         },
         "frmZNRInterface.CreateEthernetConnection, 0, Winsock Error IP Address Unavailable"},
        {"greeting not sent",
         [](FreshRun& t) {
             t.links.writeFailure = Failure(10053, "Connection is aborted");
             t.openHost(host(1));
             EXPECT_EQ(t.link(1).closeCalls, 1);
         },
         "frmZNRInterface.CreateEthernetConnection, 10053, Connection is aborted"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        FreshRun t;
        k.fail(t);
        runEvents();
        EXPECT_EQ(t.logEntries(), QByteArrayList{k.logged});
        EXPECT_EQ(t.list.rowCount(), 0);
        EXPECT_EQ(t.c.indexes().next, 1);
        EXPECT_FALSE(t.c.openingsPending());
        t.links = FakeLinks();
        t.openHost(host(1));
        EXPECT_EQ(t.rowIndexes(), QList<int>{1}) << "the endpoint can be tried again";
    }
}

// Instruments open side by side; rows, indexes and log lines come in the order asked for.
TEST_F(OpeningTest, ParallelOpeningsSettleInTheOrderAskedFor) {
    links.opening = FakeLink::Opening::Later;
    for (int k = 1; k <= 4; ++k)
        openHost(host(k));
    link(3).succeed();
    link(3).receive(wireFrame("RST", ""));
    link(2).drop(10061, "refused");
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(logEntries(), QByteArrayList{});
    link(1).succeed();
    EXPECT_EQ(column(Col::EndpointColumn), (QByteArrayList{host(1), host(3)}));
    EXPECT_EQ(rowIndexes(), (QList<int>{1, 2}));
    EXPECT_EQ(link(3).written, (QByteArrayList{kAck8, kAck8})); // the early frame's reply
    EXPECT_EQ(logEntries(), QByteArrayList{"frmZNRInterface.CreateEthernetConnection, 0, Winsock "
                                           "Error Connection Unavailable"});
    EXPECT_TRUE(c.openingsPending());
    link(4).succeed();
    EXPECT_EQ(rowIndexes(), (QList<int>{1, 2, 3}));
}

TEST_F(OpeningTest, ReopenGreetsAgainAndMarksItsOwnRow) {
    openHost(host(1));
    openHost(host(2));
    act(&Connections::disconnectSelected, 1);
    links.opening = FakeLink::Opening::Later;
    act(&Connections::reopenSelected, 1);
    act(&Connections::reopenSelected, 1); // an attempt under way is not started again
    EXPECT_EQ(links.made.size(), 3u);
    list.select(0); // the selection moves while the line opens
    clock.advanceMs(30'000);
    link(2).succeed();
    EXPECT_EQ(column(Col::StatusColumn), (QByteArrayList{"Connected", "Connected"}));
    EXPECT_EQ(list.cell(1, Col::LastUpdatedColumn), now());
    EXPECT_EQ(link(2).written, QByteArrayList{kAck8});
    act(&Connections::disconnectSelected, 1); // a disconnect ends a reopening under way
    act(&Connections::reopenSelected, 1);
    act(&Connections::disconnectSelected, 1);
    link(2).succeed();
    EXPECT_EQ(list.cell(1, Col::StatusColumn), "Disconnected");
    EXPECT_EQ(logEntries(), QByteArrayList{});
}

} // namespace
} // namespace znr::test
