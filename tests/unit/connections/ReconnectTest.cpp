// Automatic reconnect: which drops are retried, what a retry and a recovery do to the line, the
// row, the count and the log, and which operator actions end the retries. The retry interval is
// an hour: the tests run the retry rounds themselves.

#include "config/LoadSettings.h"
#include "support/CaseTable.h"
#include "unit/connections/ConnectionsFixture.h"

#include <QPointer>

namespace znr::test {
namespace {

using Col = ConnectionList::Column;

struct ReconnectTest : ConnectionsFixture {
    ReconnectTest() { settings.ReconnectSeconds = 3600; }
    QByteArray status() const { return cell(0, Col::StatusColumn); }
    // The instrument goes away; later attempts only get under way until the test decides.
    void dropHost() {
        links.opening = FakeLink::Opening::Later;
        link(1).drop(10054, "Connection is reset by remote side");
    }
};

TEST_F(ReconnectTest, DropWithReconnectOffIsLoggedAndNeverRetried) {
    settings.ReconnectSeconds = 0;
    openHost(host(1));
    dropHost();
    c.retryDropped();
    EXPECT_EQ(links.made.size(), 1u);
    EXPECT_EQ(status(), "Disconnected");
    EXPECT_FALSE(c.retryTimerRunning());
    EXPECT_EQ(logEntries(), QByteArrayList{"frmZNRInterface.ZNRSocket_Error, 10054, Connection is "
                                           "reset by remote side"});
}

TEST_F(ReconnectTest, DroppedLineIsRetriedQuietlyAndRestoredWithTheGreeting) {
    openHost(host(1), 4001);
    dropHost();
    EXPECT_EQ(list.connectedCount(), 0);
    EXPECT_TRUE(c.retryTimerRunning());
    for (int attempt = 2; attempt <= 3; ++attempt) {
        c.retryDropped();
        c.retryDropped(); // the attempt is still under way: no second one
        EXPECT_EQ(links.made.size(), size_t(attempt));
        link(1).drop(10061, "Connection is forcefully rejected");
    }
    c.retryDropped();
    EXPECT_EQ(link(1).endpoint.port, 4001);
    clock.advanceMs(7000);
    link(1).succeed();
    EXPECT_EQ(link(1).written, QByteArrayList{Greeting});
    EXPECT_EQ(status(), "Connected");
    EXPECT_EQ(cell(0, Col::LastUpdatedColumn), now());
    EXPECT_EQ(list.connectedCount(), 1);
    EXPECT_TRUE(c.dropped().empty());
    EXPECT_FALSE(c.retryTimerRunning());
    EXPECT_EQ(logEntries(), (QByteArrayList{"frmZNRInterface.ZNRSocket_Error, 10054, Connection "
                                            "is reset by remote side",
                                            "frmZNRInterface.ReconnectConnection, 0, Connection "
                                            "restored"}));
    dropHost(); // a restored connection that drops again is logged and retried again
    EXPECT_EQ(c.dropped(), std::set<int>{1});
    EXPECT_EQ(logEntries().size(), 3);
}

// A batch cut off by the drop is not written; the batch after the recovery is written alone,
// byte for byte the file of the same batch on a fresh connection.
TEST_F(ReconnectTest, BatchCutByTheDropIsDroppedAndTheNextBatchStartsClean) {
    openHost(host(1));
    link(1).receive(instrumentFrame("IST", "RUN MODE,a,b,1234567,x"));
    link(1).receive(instrumentFrame("STB", "X999,Q1,Q2,Q3"));
    link(1).receive(instrumentFrame("DAT", "1,5,6,7"));
    link(1).receive(instrumentFrame("DAT", "2,5.5,6.5,7.5").left(9)); // half a frame
    dropHost();
    c.retryDropped();
    link(1).succeed();
    for (const QByteArray& f :
         {instrumentFrame("IST", "RUN MODE,a,b,1234567,x"), instrumentFrame("STB", "X100,W1,D1"),
          instrumentFrame("DAT", "1,0.81,7.8"), instrumentFrame("DAT", "2,0.805,7.79"),
          instrumentFrame("DAT", "3,0.812,7.80"), instrumentFrame("ENB", "")})
        link(1).receive(f);
    EXPECT_EQ(link(1).written, QByteArrayList(7, Greeting));
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

TEST_F(ReconnectTest, OperatorReopenTakesOverAndAFailedOneLeavesTheRetriesRunning) {
    openHost(host(1));
    dropHost();
    act(&Connections::reopenSelected);
    link(1).drop(10061, "refused");
    EXPECT_EQ(logEntries().last(),
              "frmZNRInterface.cmdConnect_Click, 0, Winsock Error Connection Unavailable");
    EXPECT_EQ(c.dropped(), std::set<int>{1});
    EXPECT_TRUE(c.retryTimerRunning());
    act(&Connections::reopenSelected);
    link(1).succeed();
    EXPECT_EQ(status(), "Connected");
    EXPECT_TRUE(c.dropped().empty());
    EXPECT_FALSE(c.retryTimerRunning());
    EXPECT_EQ(logEntries().size(), 2); // the operator's reopen logs nothing of its own
}

TEST_F(ReconnectTest, LostDeviceIsReopenedWithItsOwnLineSettingsAndGreeted) {
    openCom("13", "19200,e,7,1", true);
    links.openFailure = Failure(8002, "Invalid port number");
    link(3, true).drop(8020, "Error reading comm device");
    EXPECT_EQ(status(), "Disconnected");
    EXPECT_EQ(list.connectedCount(), 0);
    c.retryDropped(); // a retry that fails says nothing
    links.openFailure.reset();
    clock.advanceMs(2000);
    c.retryDropped();
    const LinkEndpoint& e = link(3, true).endpoint;
    EXPECT_EQ(std::tuple(e.comPort, e.settings, e.dtr, e.rts),
              std::tuple(13, "19200,e,7,1", true, false));
    EXPECT_EQ(link(3, true).written, QByteArrayList{Greeting});
    EXPECT_EQ(status(), "Connected");
    EXPECT_EQ(cell(0, Col::LastUpdatedColumn), now());
    EXPECT_EQ(logEntries(),
              (QByteArrayList{"frmZNRInterface.ZNRComm_OnComm, 8020, Error reading comm device",
                              "frmZNRInterface.ReconnectConnection, 0, Connection restored"}));
}

TEST(ReconnectSecondsKey, OnlyAPositiveNumberTurnsTheReconnectOn) {
    TempDir dir;
    const QByteArray path = dir.path("ZNRExtractor.ini");
    for (const QByteArrayList& k : caseTable("settings/reconnect-seconds.txt")) {
        writeBytes(path, "[DEFAULT]\r\nMODE=ETHERNET\r\n" + k[0]);
        EXPECT_EQ(readReconnectSeconds(QString::fromLocal8Bit(path)), k[1].toInt())
            << k[0].constData();
    }
}

} // namespace
} // namespace znr::test
