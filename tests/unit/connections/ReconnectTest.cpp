// Automatic reconnect: which drops are retried, what a retry and a recovery do to the line, the
// row, the count and the log, and which operator actions end the retries. The retry interval is
// an hour: the tests run the retry rounds themselves.

#include "unit/connections/ConnectionsFixture.h"

#include <QPointer>

namespace znr::test {
namespace {

using Col = ConnectionList::Column;

struct ReconnectTest : ConnectionsFixture {
    ReconnectTest() { settings.ReconnectSeconds = 3600; }
    QByteArray status() const { return list.cell(0, Col::StatusColumn); }
    // The instrument goes away; later attempts only get under way until the test decides.
    void dropHost() {
        links.opening = FakeLink::Opening::Later;
        link(1).drop(10054, "Connection is reset by remote side");
    }
};

TEST_F(ReconnectTest, DroppedLineIsRetriedQuietlyAndRestoredWithTheGreeting) {
    openHost(host(1), 4001);
    dropHost();
    EXPECT_EQ(list.connectedCount(), 0);
    c.retryDropped();
    c.retryDropped(); // the attempt is still under way: no second one
    EXPECT_EQ(links.made.size(), 2u);
    link(1).drop(10061, "Connection is forcefully rejected"); // a failed retry says nothing
    c.retryDropped();
    EXPECT_EQ(link(1).endpoint.port, 4001);
    clock.advanceMs(7000);
    link(1).succeed();
    EXPECT_EQ(link(1).written, QByteArrayList{kAck8});
    EXPECT_EQ(status(), "Connected");
    EXPECT_EQ(list.cell(0, Col::LastUpdatedColumn), now());
    EXPECT_EQ(list.connectedCount(), 1);
    EXPECT_FALSE(c.retryTimerRunning());
    EXPECT_EQ(logEntries(), (QByteArrayList{"frmZNRInterface.ZNRSocket_Error, 10054, Connection "
                                            "is reset by remote side",
                                            "frmZNRInterface.ReconnectConnection, 0, Connection "
                                            "restored"}));
    dropHost(); // a restored connection that drops again is retried again
    EXPECT_EQ(c.dropped(), std::set<int>{1});
}

// A batch cut off by the drop is not written; the batch after the recovery is written alone,
// byte for byte the file of the same batch on a fresh connection.
TEST_F(ReconnectTest, BatchCutByTheDropIsDroppedAndTheNextBatchStartsClean) {
    openHost(host(1));
    link(1).receive(wireFrame("IST", "RUN MODE,a,b,1234567,x"));
    link(1).receive(wireFrame("STB", "X999,Q1,Q2,Q3"));
    link(1).receive(wireFrame("DAT", "1,5,6,7"));
    link(1).receive(wireFrame("DAT", "2,5.5,6.5,7.5").left(9)); // half a frame
    dropHost();
    c.retryDropped();
    link(1).succeed();
    for (const QByteArray& f : threeRowBatch("1234567"))
        link(1).receive(f);
    EXPECT_EQ(link(1).written, QByteArrayList(7, kAck8));
    EXPECT_EQ(listFiles(settings.DataFolder), QByteArrayList{"1234 05-01-2012-101530.dat"});
    EXPECT_EQ(readBytes(settings.DataFolder + "1234 05-01-2012-101530.dat"),
              testData("protocol/run_mode_column.dat"));
}

TEST_F(ReconnectTest, OperatorActionsEndTheRetries) {
    const std::pair<const char*, std::function<void(FreshRun&)>> cases[] = {
        {"disconnect", [](FreshRun& t) { t.act(&Connections::disconnectSelected); }},
        {"disconnect all", [](FreshRun& t) { t.act(&Connections::disconnectAll); }},
        {"delete", [](FreshRun& t) { t.act(&Connections::deleteSelected); }},
        {"shutdown", [](FreshRun& t) { t.c.shutDown(); }},
    };
    for (const auto& [name, operatorAct] : cases) {
        SCOPED_TRACE(name);
        FreshRun t;
        t.settings.ReconnectSeconds = 3600;
        t.openHost(host(1));
        t.links.opening = FakeLink::Opening::Later;
        t.link(1).drop(10054, "reset");
        t.c.retryDropped(); // an attempt is under way when the operator acts
        QPointer<FakeLink> attempt = &t.link(1);
        operatorAct(t);
        EXPECT_TRUE(t.c.dropped().empty());
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

} // namespace
} // namespace znr::test
