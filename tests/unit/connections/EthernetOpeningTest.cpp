#include "unit/connections/ConnectionsFixture.h"

namespace znr::test {
namespace {

using Col = ConnectionList::Column;

struct EthernetOpeningTest : ConnectionsFixture {
    qint64 elapsedSince(qint64 start) const { return clock.monotonicMs() - start; }

    // Rows 1 and 2 (10.0.0.1 and 10.0.0.2) with row 1 disconnected by the Disconnect command.
    void twoRowsFirstDisconnected() {
        createHosts(2);
        select(0);
        c.DisconnectConnection();
        ASSERT_EQ(cell(0, Col::StatusColumn), "Disconnected");
        ASSERT_EQ(list.countText(), "1");
    }
};

TEST_F(EthernetOpeningTest, NewConnectionIsGreetedFirstAndGetsAConnectedRow) {
    const struct {
        const char* ip;
        quint16 port;
        const char* portText;
    } cases[] = {{"10.0.0.1", 10001, "10001"},
                 {"instrument.local", 50000, "50000"},
                 {"10.0.0.3", 65535, "65535"}};
    int expectedIndex = 1;
    for (const auto& k : cases) {
        Batch& batch = channels.ensure(expectedIndex).batch;
        batch.rowCount = 7;
        batch.rowIndex = 3;
        createEthernet(k.ip, k.port);
        FakeSocketElement& s = socket(expectedIndex);
        EXPECT_EQ(s.sent, QByteArrayList{Greeting}) << k.ip;
        EXPECT_EQ(s.connectCalls, 1);
        EXPECT_EQ(s.RemoteHost(), k.ip);
        EXPECT_EQ(s.RemotePort(), k.port);
        const int position = list.rowCount() - 1;
        EXPECT_EQ(list.indexAt(position), expectedIndex);
        EXPECT_EQ(rowTexts()[position],
                  (QByteArrayList{"N/A", k.ip, k.portText, "Connected", now()}));
        EXPECT_EQ(batch.rowCount, 0);
        EXPECT_EQ(batch.rowIndex, 0);
        EXPECT_EQ(c.endpoints().at(expectedIndex).ip, k.ip);
        EXPECT_EQ(c.endpoints().at(expectedIndex).port, k.port);
        ++expectedIndex;
        EXPECT_EQ(c.nodes().CurrentNode, expectedIndex);
        EXPECT_EQ(list.countText(), QByteArray::number(expectedIndex - 1));
    }
    EXPECT_EQ(pump.turns, 0); // connected at once: no event turn needed
    EXPECT_TRUE(logLines().isEmpty());
}

TEST_F(EthernetOpeningTest, GreetingThatCannotBeSentClosesTheSocketSoTheEndpointCanBeRetried) {
    nextSendFailure = Failure(SocketErrorNo::BadState, "not connected");
    createEthernet("10.0.0.1", 10001);
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(socket(1).State(), SocketState::Closed);
    EXPECT_EQ(logLines(), QByteArrayList{"frmZNRInterface.CreateEthernetConnection, 40006, "
                                         "not connected, " +
                                         now()});
    socket(1).sendFailure.reset();
    createEthernet("10.0.0.1", 10001);
    EXPECT_EQ(socket(1).connectCalls, 2);
    EXPECT_EQ(list.rowCount(), 1);
    EXPECT_EQ(c.nodes().CurrentNode, 2);
}

TEST_F(EthernetOpeningTest, CountIsTheNumberShownPlusOneEvenWhenStale) {
    list.setCountText("5");
    createEthernet("10.0.0.1", 10001);
    EXPECT_EQ(list.countText(), "6");
}

TEST_F(EthernetOpeningTest, DuplicateEndpointDoesNothingEvenWhenItsRowIsDisconnected) {
    createHosts(1);
    for (const char* status : {"Connected", "Disconnected"}) {
        if (QByteArray(status) == "Disconnected") {
            select(0);
            c.DisconnectConnection();
        }
        createEthernet(host(1), 10001);
        EXPECT_EQ(list.rowCount(), 1) << status;
        EXPECT_EQ(socketsMade[2], 0);
        EXPECT_EQ(socket(1).connectCalls, 1);
        EXPECT_EQ(c.nodes().CurrentNode, 2);
        EXPECT_EQ(cell(0, Col::StatusColumn), status);
    }
    createEthernet(host(1), 10002); // another port of the same host is another instrument
    EXPECT_EQ(list.rowCount(), 2);
    EXPECT_TRUE(logLines().isEmpty());
}

TEST_F(EthernetOpeningTest, EmptyAddressOrPortZeroDoesNothing) {
    const struct {
        const char* ip;
        quint16 port;
    } cases[] = {{"", 10001}, {"10.0.0.1", 0}, {"", 0}};
    for (const auto& k : cases) {
        createEthernet(k.ip, k.port);
        EXPECT_EQ(list.rowCount(), 0) << k.ip << ":" << k.port;
    }
    EXPECT_EQ(socketsMade[1], 0);
    EXPECT_EQ(c.nodes().CurrentNode, 1);
    EXPECT_EQ(list.countText(), "0");
    EXPECT_TRUE(logLines().isEmpty());
}

TEST_F(EthernetOpeningTest, UnreachableAddressIsLoggedOnceAfterFiveSecondsAndLeavesNoTrace) {
    nextConnectState = SocketState::Connecting;
    const qint64 start = clock.monotonicMs();
    createEthernet("10.0.0.99", 10001);
    EXPECT_GE(elapsedSince(start), 5000);
    EXPECT_LT(elapsedSince(start), 5200);
    EXPECT_EQ(logLines(), QByteArrayList{logLine("frmZNRInterface.CreateEthernetConnection", 0,
                                                 "Winsock Error IP Address Unavailable")});
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(list.countText(), "0");
    EXPECT_TRUE(sockets[1].isNull()); // destroyed, not just closed
    EXPECT_FALSE(c.ZNRSocket().exists(1));
    EXPECT_EQ(c.nodes().CurrentNode, 1);

    nextConnectState = SocketState::Connected;
    createEthernet("10.0.0.2", 10001);
    EXPECT_EQ(socketsMade[1], 2);
    EXPECT_EQ(rowIndexes(), QList<int>{1});
    EXPECT_EQ(c.nodes().CurrentNode, 2);
}

TEST_F(EthernetOpeningTest, RefusedConnectionIsLoggedOnceBeforeFiveSeconds) {
    // The error state at once; the error event later in the wait; the event followed by a
    // state that is no longer the error state.
    const struct {
        const char* name;
        int stateAfterConnect;
        std::function<void(FakeSocketElement&)> onThirdTurn;
    } cases[] = {
        {"state 9", SocketState::Error, {}},
        {"event", SocketState::Connecting,
         [](FakeSocketElement& s) { s.raiseError(10061, "Connection is forcefully rejected"); }},
        {"event then closed", SocketState::Connecting,
         [](FakeSocketElement& s) {
             s.raiseError(10061, "Connection is forcefully rejected");
             s.setState(SocketState::Closed);
         }},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        clearLog();
        nextConnectState = k.stateAfterConnect;
        if (k.onThirdTurn)
            pump.onTurn(3, [&] { k.onThirdTurn(socket(1)); });
        const qint64 start = clock.monotonicMs();
        createEthernet("10.0.0.1", 10001);
        EXPECT_LT(elapsedSince(start), 5000);
        EXPECT_EQ(logLines(), QByteArrayList{logLine("frmZNRInterface.CreateEthernetConnection", 0,
                                                     "Winsock Error Connection Unavailable")});
        EXPECT_EQ(list.rowCount(), 0);
        EXPECT_FALSE(c.ZNRSocket().exists(1));
        EXPECT_EQ(c.nodes().CurrentNode, 1);
    }
}

TEST_F(EthernetOpeningTest, FailedAttemptOnAReusedIndexThenASuccessfulOne) {
    createHosts(3);
    select(0);
    c.DeleteConnection();
    ASSERT_EQ(c.nodes().CurrentNode, 1);

    nextConnectState = SocketState::Connecting; // only the element made next, if any
    socket(1).stateAfterConnect = SocketState::Connecting;
    createEthernet("10.0.0.7", 10001);
    EXPECT_FALSE(c.ZNRSocket().exists(1));
    EXPECT_EQ(c.nodes().CurrentNode, 1);
    EXPECT_EQ(c.nodes().FreeNodeList, "");
    EXPECT_EQ(logLines().size(), 1);

    nextConnectState = SocketState::Connected;
    createEthernet("10.0.0.7", 10001);
    EXPECT_EQ(socketsMade[1], 3); // the first, the fresh one after the delete, and a new one
    EXPECT_EQ(socket(1).sent, QByteArrayList{Greeting});
    EXPECT_EQ(rowIndexes(), (QList<int>{2, 3, 1}));
    EXPECT_EQ(c.nodes().CurrentNode, 4);
    EXPECT_EQ(list.countText(), "3");
}

TEST_F(EthernetOpeningTest, ConnectReopensTheSelectedRowWithAGreeting) {
    twoRowsFirstDisconnected();
    channels.at(1).batch.rowCount = 5;
    channels.at(1).batch.rowIndex = 2;
    clock.advanceMs(60'000);
    select(0);
    c.cmdConnect_Click();
    EXPECT_EQ(socket(1).connectCalls, 2);
    EXPECT_EQ(socket(1).sent, (QByteArrayList{Greeting, Greeting}));
    EXPECT_EQ(cell(0, Col::StatusColumn), "Connected");
    EXPECT_EQ(cell(0, Col::LastUpdatedColumn), now());
    EXPECT_EQ(list.countText(), "2");
    EXPECT_EQ(channels.at(1).batch.rowCount, 0);
    EXPECT_EQ(channels.at(1).batch.rowIndex, 0);
    EXPECT_EQ(settings.CurrentIP, host(1));
    EXPECT_EQ(settings.CurrentPort, 10001);
    EXPECT_TRUE(logLines().isEmpty());
}

struct UnusableReopen {
    const char* name;
    bool disconnectFirst;
    const char* ip; // null: the row keeps its text
    const char* port;
    bool selected;
};

void PrintTo(const UnusableReopen& k, std::ostream* os) {
    *os << k.name;
}

struct ConnectDoesNothingTest : EthernetOpeningTest,
                                ::testing::WithParamInterface<UnusableReopen> {};

TEST_P(ConnectDoesNothingTest, NoAttemptNoChangeNoLog) {
    const UnusableReopen& k = GetParam();
    createHosts(1);
    if (k.disconnectFirst) {
        select(0);
        c.DisconnectConnection();
    }
    if (k.ip)
        list.setCell(0, Col::EndpointColumn, k.ip);
    if (k.port)
        list.setCell(0, Col::ParameterColumn, k.port);
    list.select(k.selected ? std::optional<int>(0) : std::nullopt);
    const QList<QByteArrayList> before = rowTexts();
    const QByteArray countBefore = list.countText();
    c.cmdConnect_Click();
    EXPECT_EQ(socket(1).connectCalls, 1);
    EXPECT_EQ(socket(1).sent.size(), 1);
    EXPECT_EQ(rowTexts(), before);
    EXPECT_EQ(list.countText(), countBefore);
    EXPECT_TRUE(logLines().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ConnectDoesNothingTest,
    ::testing::Values(UnusableReopen{"ConnectedRow", false, nullptr, nullptr, true},
                      UnusableReopen{"PortZero", true, nullptr, "0", true},
                      UnusableReopen{"EmptyAddress", true, "", nullptr, true},
                      UnusableReopen{"NoSelection", true, nullptr, nullptr, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EthernetOpeningTest, FailedReopenLeavesTheRowAsItWasAndLogsOnce) {
    const struct {
        int stateAfterConnect;
        const char* message;
    } cases[] = {{SocketState::Connecting, "Winsock Error IP Address Unavailable"},
                 {SocketState::Error, "Winsock Error Connection Unavailable"}};
    twoRowsFirstDisconnected();
    for (const auto& k : cases) {
        clearLog();
        const QList<QByteArrayList> before = rowTexts();
        socket(1).stateAfterConnect = k.stateAfterConnect;
        select(0);
        c.cmdConnect_Click();
        EXPECT_EQ(logLines(),
                  QByteArrayList{logLine("frmZNRInterface.cmdConnect_Click", 0, k.message)});
        EXPECT_EQ(rowTexts(), before);
        EXPECT_EQ(list.countText(), "1");
        EXPECT_TRUE(c.ZNRSocket().exists(1)); // the element stays for the next try
        EXPECT_EQ(socket(1).sent, QByteArrayList{Greeting});
    }
}

TEST_F(EthernetOpeningTest, ReopenUpdatesItsOwnRowWhenTheSelectionMovesDuringTheWait) {
    twoRowsFirstDisconnected();
    const QByteArrayList secondRow = rowTexts()[1];
    socket(1).stateAfterConnect = SocketState::Connecting;
    pump.onTurn(2, [&] {
        select(1);
        socket(1).setState(SocketState::Connected);
    });
    clock.advanceMs(1000);
    select(0);
    c.cmdConnect_Click();
    EXPECT_EQ(cell(0, Col::StatusColumn), "Connected");
    EXPECT_EQ(cell(0, Col::LastUpdatedColumn), now());
    EXPECT_EQ(rowTexts()[1], secondRow);
    EXPECT_EQ(list.countText(), "2");
}

TEST_F(EthernetOpeningTest, NestedReopensEachReportTheirOwnRefusalOnce) {
    twoRowsFirstDisconnected();
    select(1);
    c.DisconnectConnection();
    socket(1).stateAfterConnect = SocketState::Connecting;
    socket(2).stateAfterConnect = SocketState::Connecting;
    // While the first reopen waits, the user reopens the second row; both are refused, the
    // first one's refusal arriving during the second one's wait.
    pump.onTurn(2, [&] {
        pump.onTurn(2, [&] { socket(1).raiseError(10061, "Connection is forcefully rejected"); });
        pump.onTurn(3, [&] { socket(2).raiseError(10061, "Connection is forcefully rejected"); });
        select(1);
        c.cmdConnect_Click();
    });
    select(0);
    c.cmdConnect_Click();
    const QByteArray refused =
        "frmZNRInterface.cmdConnect_Click, 0, Winsock Error Connection Unavailable";
    EXPECT_EQ(logEntries(), (QByteArrayList{refused, refused}));
    EXPECT_EQ(list.countText(), "0");
}

} // namespace
} // namespace znr::test
