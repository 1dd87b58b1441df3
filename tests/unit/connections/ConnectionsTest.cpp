// The connection operations over fake links and a fake clock: opening, closing, reconnecting
// and the reuse of connection indexes.
#include "support/CaseTable.h"
#include "unit/connections/ConnectionsFixture.h"

#include <QPointer>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    links.opening = FakeLink::Opening::Later;
    openHost(host(2));
    openHost(host(2)); // asked for again while its opening is under way
    EXPECT_EQ(links.made.size(), made + 1);
    openCom("x");
    EXPECT_EQ(logEntries(), QByteArrayList{"frmZNRInterface.CreateSerialConnection, 13, Type "
                                           "mismatch"});
}

// What a failed opening logs, and that it leaves no row and the endpoint free.
TEST_F(OpeningTest, FailedOpeningsAreLoggedOnceAndLeaveNoRow) {
    const struct {
        const char* name;
        std::function<void(FreshRun&)> fail;
        const char* logged;
    } cases[] = {
        {"unreachable",
         [](FreshRun& t) {
             t.links.opening = FakeLink::Opening::Later;
             t.c.deadlineMs = 0;
             t.openHost(host(1));
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

// A line opened afresh while a batch end is still being written is not sent that end's reply.
TEST_F(OpeningTest, ReopenWhileABatchEndIsWrittenGetsNoStaleReply) {
    openHost(host(1));
    // The data file is a pipe that nobody reads yet: the writer waits in it.
    const QByteArray pipe = settings.dataFolder + "1234 05-01-2012-101530.dat";
    ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);
    const QByteArray batch = threeRowBatch("1234567").join();
    Q_EMIT link(1).received(batch);
    act(&Connections::disconnectSelected);
    act(&Connections::reopenSelected);
    const int reader = ::open(pipe.constData(), O_RDONLY | O_NONBLOCK); // the writer goes on
    clock.advanceMs(1000);
    link(1).receive(batch); // its reply comes after the first batch end is back
    ::close(reader);
    EXPECT_EQ(link(1).written, QByteArrayList(7, kAck8)); // the greeting and six frames
    EXPECT_EQ(listFiles(settings.dataFolder).size(), 2);
}

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

// Automatic reconnect: what a retry and a recovery do to the line, the row, the count and the
// log, and which operator actions end the retries. The retry interval is an hour: the tests run
// the retry rounds themselves.

struct ReconnectTest : ConnectionsFixture {
    ReconnectTest() { settings.reconnectSeconds = 3600; }
    // The instrument goes away; later attempts only get under way until the test decides.
    void dropHost() {
        links.opening = FakeLink::Opening::Later;
        link(1).drop(10054, "Connection is reset by remote side");
    }
};

// A batch cut off by the drop is not filed: the first batch after the recovery is filed alone.
TEST_F(ReconnectTest, DroppedLineIsRetriedQuietlyAndRestoredWithTheGreeting) {
    openHost(host(1), 4001);
    link(1).receive(wireFrame("IST", "RUN MODE,a,b,1234567,x"));
    link(1).receive(wireFrame("STB", "X999,Q1,Q2,Q3"));
    link(1).receive(wireFrame("DAT", "1,5,6,7").left(9)); // half a frame
    dropHost();
    c.retryDropped();
    c.retryDropped(); // the attempt is still under way: no second one
    EXPECT_EQ(links.made.size(), 2u);
    link(1).drop(10061, "Connection is forcefully rejected"); // a failed retry says nothing
    c.retryDropped();
    EXPECT_EQ(link(1).endpoint.port, 4001);
    clock.advanceMs(7000);
    link(1).succeed();
    EXPECT_EQ(link(1).written, QByteArrayList{kAck8});
    EXPECT_EQ(list.cell(0, Col::StatusColumn), "Connected");
    EXPECT_EQ(list.cell(0, Col::LastUpdatedColumn), now());
    EXPECT_EQ(list.connectedCount(), 1);
    EXPECT_FALSE(c.retryTimerRunning());
    EXPECT_EQ(logEntries(), (QByteArrayList{"frmZNRInterface.ZNRSocket_Error, 10054, Connection "
                                            "is reset by remote side",
                                            "frmZNRInterface.ReconnectConnection, 0, Connection "
                                            "restored"}));
    for (const QByteArray& frame : threeRowBatch("1234567"))
        link(1).receive(frame);
    EXPECT_EQ(listFiles(settings.dataFolder), QByteArrayList{"1234 05-01-2012-101537.dat"});
    EXPECT_EQ(readBytes(settings.dataFolder + "1234 05-01-2012-101537.dat"),
              testData("protocol/run_mode_column.dat").replace("10:15:30", "10:15:37"));
    dropHost(); // a restored connection that drops again is retried again
    EXPECT_EQ(c.dropped(), std::set<int>{1});
}

// A handler may take away the line whose event it is handling.
TEST_F(ClosingTest, HandlerMayDestroyTheLineThatRaisedItsEvent) {
    openHost(host(1));
    openHost(host(2));
    QPointer<FakeLink> first = &link(1), second = &link(2);
    QObject::connect(first, &Link::dropped, [this] { act(&Connections::deleteSelected); });
    QObject::connect(second, &Link::received, [this] { c.shutDown(); });
    first->drop(10054, "Connection is reset by remote side");
    EXPECT_EQ(list.rowCount(), 1);
    second->receive(wireFrame("RST", ""));
    runEvents();
    EXPECT_TRUE(first.isNull() && second.isNull());
}

// Only a connection that dropped by itself is retried: a failed Connect of a row the operator
// disconnected is not.
TEST_F(ReconnectTest, FailedConnectOfADisconnectedRowIsNotRetried) {
    openHost(host(1));
    act(&Connections::disconnectSelected);
    links.opening = FakeLink::Opening::Later;
    act(&Connections::reopenSelected);
    link(1).drop(10061, "refused");
    EXPECT_TRUE(c.dropped().empty());
    EXPECT_FALSE(c.retryTimerRunning());
}

TEST_F(ReconnectTest, OperatorActionsEndTheRetries) {
    const std::pair<const char*, std::function<void(FreshRun&)>> cases[] = {
        {"disconnect", [](FreshRun& t) { t.act(&Connections::disconnectSelected); }},
        {"delete", [](FreshRun& t) { t.act(&Connections::deleteSelected); }},
        {"shutdown", [](FreshRun& t) { t.c.shutDown(); }},
    };
    for (const auto& [name, operatorAct] : cases) {
        SCOPED_TRACE(name);
        FreshRun t;
        t.settings.reconnectSeconds = 3600;
        t.openHost(host(1));
        t.links.opening = FakeLink::Opening::Later;
        t.link(1).drop(10054, "reset");
        t.c.retryDropped(); // an attempt is under way when the operator acts
        QPointer<FakeLink> attempt = &t.link(1);
        operatorAct(t);
        EXPECT_FALSE(t.c.retryTimerRunning());
        if (attempt) {
            EXPECT_GE(attempt->closeCalls, 1);
            attempt->succeed(); // a late success brings nothing back
        }
        t.c.retryDropped();
        EXPECT_EQ(t.links.made.size(), 2u);
        EXPECT_EQ(t.logEntries().size(), 1) << t.logEntries().join('|').constData();
    }
}

TEST(IndexReuse, ScriptsLeaveTheIndexesOfTheirTable) {
    for (const QByteArrayList& k : caseTable("station/index-reuse.txt")) {
        for (const bool serial : {false, true}) {
            if (k[4] != "both" && (k[4] == "serial") != serial)
                continue;
            SCOPED_TRACE(k.join('|').toStdString() + (serial ? " serial" : " tcp"));
            FreshRun t;
            int instrument = 0;
            for (const QByteArray& step : k[0].split(' ')) {
                if (step[0] == 'd') {
                    const std::optional<int> row = t.list.positionOf(step.mid(1).toInt());
                    ASSERT_TRUE(row);
                    t.act(&Connections::deleteSelected, *row);
                    continue;
                }
                t.links = FakeLinks();
                if (step == "f")
                    t.links.openFailure = Failure(10061, "refused");
                ++instrument;
                serial ? t.openCom(QByteArray::number(10 + instrument))
                       : t.openHost(FreshRun::host(instrument));
            }
            QByteArrayList indexes;
            for (const int i : t.rowIndexes())
                indexes.append(QByteArray::number(i));
            EXPECT_EQ(indexes.join(' '), k[1]);
            EXPECT_EQ(t.c.indexes().next, k[2].toInt());
            EXPECT_EQ(t.c.indexes().freeList, k[3]);
        }
    }
}

// Connections 1..highest have entries, `open` are in use.
IndexAllocator::Occupancy occupancy(int highest, std::set<int> open) {
    return {highest, [highest](int i) { return i > highest; },
            [open](int i) { return open.count(i) > 0; }};
}

TEST(IndexReuse, FreeEntriesUseTheirLeadingDigitsAndTheLatestIsTakenBack) {
    IndexAllocator a;
    a.next = 6;
    a.freeList = "32767x,,5,";
    a.update(occupancy(5, {1, 2, 3, 4, 5}));
    EXPECT_EQ(a.next, 32767); // the highest index there is
    EXPECT_EQ(a.freeList, "5,");
    a.freeList = "3,7,3,";
    a.reclaim(3);
    EXPECT_EQ(a.freeList, "3,7,");
    a.reclaim(9);
    EXPECT_EQ(a.freeList, "3,7,");
}

TEST(IndexReuse, IndexesEndAt32767) {
    IndexAllocator a;
    a.update(occupancy(32766, {}));
    EXPECT_EQ(a.next, 32767);
    EXPECT_THROW(a.update(occupancy(32767, {})), Failure);
    a.freeList = "40000,";
    a.next = 32767;
    EXPECT_THROW(a.update(occupancy(32767, {32767})), Failure);
}

} // namespace
} // namespace znr::test
