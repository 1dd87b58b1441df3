#include "unit/connections/ConnectionsFixture.h"

namespace znr::test {
namespace {

using Col = ConnectionList::Column;

struct SocketErrorTest : ConnectionsFixture {
    SocketErrorTest() {
        createHosts(3);
        clock.advanceMs(60'000);
    }
    QByteArrayList statuses() const {
        QByteArrayList out;
        for (int p = 0; p < list.rowCount(); ++p)
            out.append(cell(p, Col::StatusColumn));
        return out;
    }
};

TEST_F(SocketErrorTest, ErrorClosesTheSocketMarksItsRowRecountsAndLogsTheSocketsWords) {
    ReceiveState& receive = channels.at(2).receive;
    receive.buffer = "\x01partial";
    receive.fragmentCount = 1;
    const qint64 deadline = receive.deadline;
    socket(2).raiseError(10054, "Connection is reset by remote side");
    EXPECT_EQ(socket(2).closeCalls, 2);
    EXPECT_EQ(socket(2).State(), SocketState::Closed);
    EXPECT_EQ(statuses(), (QByteArrayList{"Connected", "Disconnected", "Connected"}));
    EXPECT_EQ(cell(1, Col::LastUpdatedColumn), now());
    EXPECT_EQ(list.countText(), "2");
    EXPECT_EQ(logLines(), QByteArrayList{logLine("frmZNRInterface.ZNRSocket_Error", 10054,
                                                 "Connection is reset by remote side")});
    // The receive path's state is left as it was.
    EXPECT_EQ(receive.buffer, "\x01partial");
    EXPECT_EQ(receive.fragmentCount, 1);
    EXPECT_EQ(receive.deadline, deadline);
    EXPECT_TRUE(c.ZNRSocket().exists(2));
}

TEST_F(SocketErrorTest, LastConnectedOneGoingLeavesTheCountAtZero) {
    for (int i = 1; i <= 3; ++i)
        socket(i).raiseError(10060, "Attempt to connect timed out");
    EXPECT_EQ(list.countText(), "0");
    EXPECT_EQ(logLines().size(), 3);
}

TEST_F(SocketErrorTest, OfTwoRowsWithTheSocketsEndpointOnlyTheLaterIsMarked) {
    list.setCell(2, Col::EndpointColumn, host(1));
    socket(1).raiseError(10054, "Connection is reset by remote side");
    EXPECT_EQ(statuses(), (QByteArrayList{"Connected", "Connected", "Disconnected"}));
    EXPECT_EQ(list.countText(), "2");
}

TEST_F(SocketErrorTest, ErrorWithoutAMatchingRowStillClosesTheSocketAndLogsOnlyTheFailure) {
    list.setCell(1, Col::ParameterColumn, "10009");
    list.setCountText("5");
    const QList<QByteArrayList> before = rowTexts();
    socket(2).raiseError(10054, "Connection is reset by remote side");
    EXPECT_EQ(socket(2).State(), SocketState::Closed);
    EXPECT_EQ(rowTexts(), before);
    EXPECT_EQ(list.countText(), "5");
    EXPECT_EQ(logLines(), QByteArrayList{logLine("frmZNRInterface.ZNRSocket_Error", 9,
                                                 "Subscript out of range")});
}

// Any row's port cell, a serial row's settings too, must be a whole number: the search fails
// before the socket is closed.
TEST_F(SocketErrorTest, PortCellThatIsNotAWholeNumberEndsTheSearchBeforeAnythingChanges) {
    for (const auto& [position, text] : {std::pair{0, "9600,n,8,1"}, {1, "10001 x"}}) {
        list.setCell(position, Col::ParameterColumn, text);
        const QList<QByteArrayList> before = rowTexts();
        socket(2).raiseError(10054, "Connection is reset by remote side");
        EXPECT_EQ(socket(2).closeCalls, 1) << text;
        EXPECT_EQ(rowTexts(), before);
        EXPECT_EQ(list.countText(), "3");
        EXPECT_EQ(logLines().value(position),
                  logLine("frmZNRInterface.ZNRSocket_Error", 13, "Type mismatch"));
        list.setCell(position, Col::ParameterColumn, "10001");
    }
}

TEST_F(SocketErrorTest, ErrorOfAnotherSocketDuringAConnectWaitIsHandledAsUsual) {
    nextConnectState = SocketState::Connecting;
    pump.onTurn(2, [&] { socket(1).raiseError(10054, "Connection is reset by remote side"); });
    pump.onTurn(3, [&] { socket(4).setState(SocketState::Connected); });
    createEthernet(host(4), 10001);
    EXPECT_EQ(rowIndexes(), (QList<int>{1, 2, 3, 4}));
    EXPECT_EQ(statuses(), (QByteArrayList{"Disconnected", "Connected", "Connected", "Connected"}));
    EXPECT_EQ(list.countText(), "3");
    EXPECT_EQ(logEntries(), QByteArrayList{"frmZNRInterface.ZNRSocket_Error, 10054, Connection "
                                           "is reset by remote side"});
}

} // namespace
} // namespace znr::test
