#include "unit/connections/ConnectionsFixture.h"

namespace znr::test {
namespace {

using Col = ConnectionList::Column;

struct ConnectionClosingTest : ConnectionsFixture {
    QByteArray createdAt;

    // Three connected instruments, created at one time; the clock then moves on a minute.
    void threeConnections(bool serial = false) {
        if (serial) {
            serialRun();
            for (const char* com : {"3", "4", "5"})
                createSerial(com);
        } else {
            createHosts(3);
        }
        createdAt = now();
        clock.advanceMs(60'000);
    }
    QByteArrayList statuses() const {
        QByteArrayList out;
        for (int p = 0; p < list.rowCount(); ++p)
            out.append(cell(p, Col::StatusColumn));
        return out;
    }
};

struct BothRunsTest : ConnectionClosingTest, ::testing::WithParamInterface<bool> {
    bool serial() const { return GetParam(); }
};

TEST_P(BothRunsTest, DisconnectClosesTheSelectedConnectionAndKeepsItsRow) {
    threeConnections(serial());
    select(1);
    c.DisconnectConnection();
    if (serial()) {
        EXPECT_FALSE(port(2).PortOpen());
        EXPECT_TRUE(port(1).PortOpen());
    } else {
        EXPECT_EQ(socket(2).closeCalls, 2); // once before its Connect, once now
        EXPECT_EQ(socket(2).State(), SocketState::Closed);
        EXPECT_EQ(socket(1).closeCalls, 1);
    }
    EXPECT_EQ(statuses(), (QByteArrayList{"Connected", "Disconnected", "Connected"}));
    EXPECT_EQ(cell(1, Col::LastUpdatedColumn), now());
    EXPECT_EQ(cell(0, Col::LastUpdatedColumn), createdAt);
    EXPECT_EQ(list.countText(), "2");
    EXPECT_EQ(rowIndexes(), (QList<int>{1, 2, 3}));
    EXPECT_EQ(c.nodes().FreeNodeList, "");
    EXPECT_EQ(c.nodes().CurrentNode, 4);
    EXPECT_EQ(pump.turns, 0); // the socket left the connected state at once

    // Again on the closed connection: still "Disconnected", with a new time.
    clock.advanceMs(5000);
    c.DisconnectConnection();
    EXPECT_EQ(cell(1, Col::StatusColumn), "Disconnected");
    EXPECT_EQ(cell(1, Col::LastUpdatedColumn), now());
    EXPECT_TRUE(logLines().isEmpty());
}

TEST_P(BothRunsTest, DisconnectAllClosesEveryConnectionAndMarksEveryRow) {
    threeConnections(serial());
    select(0);
    c.DisconnectConnection(); // row 1 already closed, with its own time
    const QByteArray firstClosedAt = now();
    if (!serial())
        socket(3).stateAfterClose = SocketState::Connected; // no wait for it here
    clock.advanceMs(60'000);
    c.DisconnectAll();
    for (int i = 1; i <= 3; ++i) {
        if (serial())
            EXPECT_FALSE(port(i).PortOpen()) << i;
        else
            EXPECT_EQ(socket(i).closeCalls, i == 1 ? 3 : 2) << i;
    }
    EXPECT_EQ(statuses(), (QByteArrayList{"Disconnected", "Disconnected", "Disconnected"}));
    EXPECT_EQ(cell(0, Col::LastUpdatedColumn), firstClosedAt);
    EXPECT_EQ(cell(1, Col::LastUpdatedColumn), createdAt);
    EXPECT_EQ(list.countText(), "0");
    EXPECT_EQ(rowIndexes(), (QList<int>{1, 2, 3}));
    EXPECT_EQ(pump.turns, 0);
    EXPECT_TRUE(logLines().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Runs, BothRunsTest, ::testing::Bool(), [](const auto& info) {
    return std::string(info.param ? "Serial" : "Ethernet");
});

TEST_F(ConnectionClosingTest, DisconnectWithoutSelectionDoesNothing) {
    threeConnections();
    list.select(std::nullopt);
    c.DisconnectConnection();
    EXPECT_EQ(statuses(), (QByteArrayList{"Connected", "Connected", "Connected"}));
    EXPECT_EQ(socket(1).closeCalls + socket(2).closeCalls + socket(3).closeCalls, 3);
}

TEST_F(ConnectionClosingTest, DisconnectOfARowMatchingNoSocketStillMarksIt) {
    threeConnections();
    list.setCell(0, Col::ParameterColumn, "10009");
    select(0);
    c.DisconnectConnection();
    EXPECT_EQ(socket(1).closeCalls, 1);
    EXPECT_EQ(socket(1).State(), SocketState::Connected);
    EXPECT_EQ(cell(0, Col::StatusColumn), "Disconnected");
    EXPECT_EQ(list.countText(), "2");
}

TEST_F(ConnectionClosingTest, StuckCloseIsLoggedAndLeavesTheRowAsItWas) {
    const struct {
        const char* name;
        bool errorOnSecondTurn; // otherwise the socket stays connected for good
    } cases[] = {{"stays connected", false}, {"error state", true}};
    threeConnections();
    socket(2).stateAfterClose = SocketState::Connected;
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        clearLog();
        if (k.errorOnSecondTurn)
            pump.onTurn(2, [&] { socket(2).setState(SocketState::Error); });
        const QList<QByteArrayList> before = rowTexts();
        const qint64 start = clock.monotonicMs();
        select(1);
        c.DisconnectConnection();
        EXPECT_EQ(logLines(), QByteArrayList{logLine("frmZNRInterface.DisconnectConnection", 0,
                                                     "Winsock Error Closing Connection")});
        EXPECT_EQ(rowTexts(), before);
        EXPECT_EQ(list.countText(), "3");
        if (k.errorOnSecondTurn)
            EXPECT_LT(clock.monotonicMs() - start, 5000);
        else
            EXPECT_GE(clock.monotonicMs() - start, 5000);
        socket(2).setState(SocketState::Connected);
    }
}

TEST_F(ConnectionClosingTest, DisconnectAllWithoutRowsOnlySetsTheCountToZero) {
    list.setCountText("4");
    c.DisconnectAll();
    EXPECT_EQ(list.countText(), "0");
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_TRUE(logLines().isEmpty());
}

TEST_F(ConnectionClosingTest, DeleteClosesTheSocketAndLeavesAFreshElementForTheIndex) {
    threeConnections();
    int closeCallsSeen = 0;
    socket(2).stateAfterClose = SocketState::Connected; // closes on the first turn of the wait
    pump.onTurn(1, [&] {
        closeCallsSeen = socket(2).closeCalls;
        socket(2).setState(SocketState::Closed);
    });
    select(1);
    c.DeleteConnection();
    EXPECT_EQ(closeCallsSeen, 2);
    EXPECT_EQ(socketsMade[2], 2);
    ASSERT_TRUE(c.ZNRSocket().exists(2));
    EXPECT_EQ(socket(2).RemoteHost(), "");
    EXPECT_EQ(socket(2).RemotePort(), 0);
    EXPECT_EQ(socket(2).State(), SocketState::Closed);
    EXPECT_EQ(socket(2).connectCalls, 0);
    EXPECT_EQ(rowIndexes(), (QList<int>{1, 3}));
    EXPECT_EQ(list.countText(), "2");
    EXPECT_EQ(c.nodes().CurrentNode, 2);
    EXPECT_EQ(c.nodes().FreeNodeList, "");
    EXPECT_TRUE(logLines().isEmpty());
}

TEST_F(ConnectionClosingTest, DeleteOfADisconnectedRowRecountsFromTheRowsLeft) {
    threeConnections();
    select(0);
    c.DisconnectConnection();
    list.setCountText("7"); // stale: the delete recounts
    select(2);
    c.DeleteConnection();
    EXPECT_EQ(rowIndexes(), (QList<int>{1, 2}));
    EXPECT_EQ(list.countText(), "1");
}

TEST_F(ConnectionClosingTest, DeleteOfASerialRowClosesItsPortAtOnce) {
    threeConnections(true);
    QPointer<FakeSerialElement> old = ports[2];
    select(1);
    c.DeleteConnection();
    EXPECT_TRUE(old.isNull());
    EXPECT_EQ(portsMade[2], 2);
    ASSERT_TRUE(c.ZNRComm().exists(2));
    EXPECT_FALSE(port(2).PortOpen());
    EXPECT_EQ(pump.turns, 0);
    EXPECT_EQ(rowIndexes(), (QList<int>{1, 3}));
    EXPECT_EQ(list.countText(), "2");
    EXPECT_EQ(c.nodes().CurrentNode, 2);
    createSerial("6");
    EXPECT_EQ(rowIndexes(), (QList<int>{1, 3, 2}));
}

TEST_F(ConnectionClosingTest, DeleteOfComOneWhileAFreshElementWaitsClosesItsOwnPort) {
    serialRun();
    createSerial("2");
    createSerial("3");
    select(0);
    c.DeleteConnection(); // index 1 is next; its fresh element names COM1 9600,n,8,1
    select(0);
    c.DeleteConnection(); // index 2 is queued with a fresh element like it
    ASSERT_EQ(c.nodes().FreeNodeList, "2,");
    createSerial("1", "9600,n,8,1");
    ASSERT_EQ(rowIndexes(), QList<int>{1});
    select(0);
    c.DeleteConnection();
    EXPECT_FALSE(port(1).PortOpen());
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(c.nodes().FreeNodeList, "1,");
    EXPECT_EQ(c.nodes().CurrentNode, 2);
}

TEST_F(ConnectionClosingTest, DeleteWithoutAUsableRowDoesNothing) {
    const struct {
        const char* name;
        const char* endpoint;
        const char* parameter;
    } cases[] = {{"empty address", "", "10001"},
                 {"port 0", "10.0.0.2", "0"},
                 {"no socket with this endpoint", "10.9.9.9", "10001"}};
    threeConnections();
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        list.setCell(1, Col::EndpointColumn, k.endpoint);
        list.setCell(1, Col::ParameterColumn, k.parameter);
        select(1);
        c.DeleteConnection();
        EXPECT_EQ(list.rowCount(), 3);
        EXPECT_EQ(socketsMade[2], 1);
        EXPECT_EQ(socket(2).closeCalls, 1);
        EXPECT_EQ(c.nodes().FreeNodeList, "");
        EXPECT_EQ(c.nodes().CurrentNode, 4);
    }
    list.select(std::nullopt);
    c.DeleteConnection();
    EXPECT_EQ(list.rowCount(), 3);
    EXPECT_TRUE(logLines().isEmpty());
}

TEST_F(ConnectionClosingTest, DeleteWhoseCloseFailsKeepsTheRowAndTakesTheIndexBack) {
    threeConnections();
    select(0);
    c.DeleteConnection(); // CurrentNode 1
    select(0);
    c.DeleteConnection(); // index 2 queued
    ASSERT_EQ(c.nodes().FreeNodeList, "2,");
    socket(3).stateAfterClose = SocketState::Connected;
    select(0);
    c.DeleteConnection();
    EXPECT_EQ(logLines(), QByteArrayList{logLine("frmZNRInterface.cmdDeleteConnection_Click", 0,
                                                 "Winsock Error Closing Connection")});
    EXPECT_EQ(rowIndexes(), QList<int>{3});
    EXPECT_EQ(cell(0, Col::StatusColumn), "Connected");
    EXPECT_EQ(socketsMade[3], 1);
    EXPECT_EQ(c.nodes().FreeNodeList, "2,");
    EXPECT_EQ(c.nodes().CurrentNode, 1);
}

TEST_F(ConnectionClosingTest, ShutdownClosesAndDestroysEverySocket) {
    threeConnections();
    select(1);
    c.DisconnectConnection();
    QList<QPointer<FakeSocketElement>> old{sockets[1], sockets[2], sockets[3]};
    c.closeAllForShutdown();
    for (int i = 1; i <= 3; ++i) {
        EXPECT_FALSE(c.ZNRSocket().exists(i)) << i;
        EXPECT_TRUE(old[i - 1].isNull()) << i;
    }
    EXPECT_TRUE(logLines().isEmpty());
}

TEST_F(ConnectionClosingTest, ShutdownLogsAStuckSocketAndStillClosesTheOthers) {
    threeConnections();
    socket(1).stateAfterClose = SocketState::Connected;
    int thirdCloseCallsDuringFirstWait = -1;
    pump.onTurn(1, [&] { thirdCloseCallsDuringFirstWait = socket(3).closeCalls; });
    QPointer<FakeSocketElement> third = sockets[3];
    c.closeAllForShutdown();
    EXPECT_EQ(thirdCloseCallsDuringFirstWait, 1); // closed in order, after the first one's wait
    EXPECT_EQ(logLines(), QByteArrayList{logLine("frmZNRInterface.Form_Unload", 0,
                                                 "Winsock Error Closing Connection")});
    for (int i = 1; i <= 3; ++i)
        EXPECT_FALSE(c.ZNRSocket().exists(i)) << i;
    EXPECT_TRUE(third.isNull());
}

TEST_F(ConnectionClosingTest, ShutdownClosesEverySerialPortOpenOrNot) {
    threeConnections(true);
    select(0);
    c.DisconnectConnection();
    c.closeAllForShutdown();
    for (int i = 1; i <= 3; ++i)
        EXPECT_FALSE(c.ZNRComm().exists(i)) << i;
    EXPECT_EQ(pump.turns, 0);
    EXPECT_TRUE(logLines().isEmpty());
}

} // namespace
} // namespace znr::test
