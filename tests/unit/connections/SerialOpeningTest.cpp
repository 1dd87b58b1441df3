#include "unit/connections/ConnectionsFixture.h"

namespace znr::test {
namespace {

using Col = ConnectionList::Column;

struct SerialOpeningTest : ConnectionsFixture {
    SerialOpeningTest() { serialRun(); }

    static QByteArrayList configuration(const QByteArray& com, const QByteArray& lineSettings,
                                        bool dtr, bool rts) {
        return {"CommPort=" + com,
                "Settings=" + lineSettings,
                dtr ? "DTREnable=true" : "DTREnable=false",
                rts ? "RTSEnable=true" : "RTSEnable=false",
                "RThreshold=1",
                "SThreshold=0",
                "PortOpen=true",
                "Output"};
    }
};

TEST_F(SerialOpeningTest, NewPortIsConfiguredInOrderThenGreetedAndGetsARow) {
    const struct {
        const char* com;
        const char* lineSettings;
        bool dtr;
        bool rts;
    } cases[] = {{"3", "9600,n,8,1", false, false},
                 {"4", "19200,e,7,2", true, false},
                 {"12", "4800,o,8,1", false, true},
                 {"5", "115200,n,8,1", true, true}};
    int index = 1;
    for (const auto& k : cases) {
        createSerial(k.com, k.lineSettings, k.dtr, k.rts);
        FakeSerialElement& p = port(index);
        EXPECT_EQ(p.calls, configuration(k.com, k.lineSettings, k.dtr, k.rts)) << k.com;
        EXPECT_EQ(p.written, QByteArrayList{Greeting});
        EXPECT_TRUE(p.PortOpen());
        const int position = list.rowCount() - 1;
        EXPECT_EQ(list.indexAt(position), index);
        EXPECT_EQ(rowTexts()[position],
                  (QByteArrayList{"N/A", k.com, k.lineSettings, "Connected", now()}));
        const Endpoint& e = c.endpoints().at(index);
        EXPECT_EQ(e.commPort, k.com);
        EXPECT_EQ(e.settings, k.lineSettings);
        EXPECT_EQ(e.handShaking, 2); // recorded, never applied
        EXPECT_EQ(e.dtr, k.dtr);
        EXPECT_EQ(e.rts, k.rts);
        ++index;
        EXPECT_EQ(c.nodes().CurrentNode, index);
        EXPECT_EQ(list.countText(), QByteArray::number(index - 1));
    }
    EXPECT_TRUE(logLines().isEmpty());
}

TEST_F(SerialOpeningTest, PortInUseOrUnusableArgumentsDoNothing) {
    createSerial("3");
    const struct {
        const char* com;
        const char* lineSettings;
    } cases[] = {{"3", "9600,n,8,1"},
                 {"3", "4800,e,7,1"},
                 {" 3 ", "9600,n,8,1"},
                 {"0", "9600,n,8,1"},
                 {"4", ""}};
    for (const auto& k : cases) {
        createSerial(k.com, k.lineSettings);
        EXPECT_EQ(list.rowCount(), 1) << k.com << " " << k.lineSettings;
    }
    EXPECT_EQ(portsMade[2], 0);
    EXPECT_EQ(port(1).openCalls, 1);
    EXPECT_EQ(c.nodes().CurrentNode, 2);
    EXPECT_EQ(list.countText(), "1");
    EXPECT_TRUE(logLines().isEmpty());
}

TEST_F(SerialOpeningTest, ComPortThatIsNotANumberIsATypeMismatch) {
    createSerial("abc");
    EXPECT_EQ(logLines(), QByteArrayList{logLine("frmZNRInterface.CreateSerialConnection", 13,
                                                 "Type mismatch")});
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(portsMade[1], 0);
    EXPECT_EQ(c.nodes().CurrentNode, 1);
}

TEST_F(SerialOpeningTest, PortThatCannotOpenIsLoggedAndLeavesItsElementClosedWithoutARow) {
    nextOpenFailure = Failure(CommErrorNo::InvalidPortNumber, "Invalid port number");
    createSerial("7");
    EXPECT_EQ(logLines(), QByteArrayList{logLine("frmZNRInterface.CreateSerialConnection", 8002,
                                                 "Invalid port number")});
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(list.countText(), "0");
    ASSERT_TRUE(c.ZNRComm().exists(1));
    EXPECT_FALSE(port(1).PortOpen());
    EXPECT_TRUE(port(1).written.isEmpty());
    EXPECT_EQ(c.nodes().CurrentNode, 1);

    port(1).openFailure.reset();
    createSerial("8");
    EXPECT_EQ(portsMade[1], 1); // the element that stayed is used again
    EXPECT_EQ(rowIndexes(), QList<int>{1});
    EXPECT_EQ(c.nodes().CurrentNode, 2);
}

TEST_F(SerialOpeningTest, PortThatFailedToOpenCanBeTriedAgain) {
    nextOpenFailure = Failure(CommErrorNo::InvalidPortNumber, "Invalid port number");
    createSerial("7");
    port(1).openFailure.reset(); // the adapter is plugged in
    createSerial("7");
    EXPECT_EQ(rowIndexes(), QList<int>{1});
    EXPECT_TRUE(port(1).PortOpen());
    EXPECT_EQ(port(1).written, QByteArrayList{Greeting});
    EXPECT_EQ(list.countText(), "1");
}

TEST_F(SerialOpeningTest, ComOneCanBeAddedAgainAfterItsRowWasDeleted) {
    createSerial("1");
    createSerial("2");
    select(0);
    c.DeleteConnection();
    ASSERT_EQ(rowIndexes(), QList<int>{2});
    createSerial("1", "4800,n,8,1");
    EXPECT_EQ(rowIndexes(), (QList<int>{2, 1}));
    EXPECT_TRUE(port(1).PortOpen());
    EXPECT_EQ(port(1).CommPort(), 1);
    EXPECT_EQ(list.countText(), "2");
}

TEST_F(SerialOpeningTest, ConnectReopensWithTheLatestLineValues) {
    createSerial("3", "9600,n,8,1", true, true);
    select(0);
    c.DisconnectConnection();
    ASSERT_FALSE(port(1).PortOpen());
    createSerial("4", "4800,n,8,1", false, false); // the last values entered are used
    channels.at(1).batch.rowCount = 4;
    port(1).calls.clear();
    clock.advanceMs(60'000);
    select(0);
    c.cmdConnect_Click();
    EXPECT_EQ(port(1).calls, configuration("3", "9600,n,8,1", false, false));
    EXPECT_EQ(port(1).written, (QByteArrayList{Greeting, Greeting}));
    EXPECT_EQ(cell(0, Col::StatusColumn), "Connected");
    EXPECT_EQ(cell(0, Col::LastUpdatedColumn), now());
    EXPECT_EQ(list.countText(), "2");
    EXPECT_EQ(channels.at(1).batch.rowCount, 0);
    EXPECT_EQ(settings.CurrentCommPort, "3");
    EXPECT_EQ(settings.CurrentSettings, "9600,n,8,1");
}

TEST_F(SerialOpeningTest, ConnectOnAnOpenPortDoesNothing) {
    createSerial("3");
    select(0);
    c.cmdConnect_Click();
    EXPECT_EQ(port(1).openCalls, 1);
    EXPECT_EQ(port(1).written.size(), 1);
    EXPECT_EQ(list.countText(), "1");
}

TEST_F(SerialOpeningTest, FailedReopenLeavesTheRowAsItWasAndLogsOnce) {
    createSerial("3");
    select(0);
    c.DisconnectConnection();
    const QList<QByteArrayList> before = rowTexts();
    port(1).openFailure = Failure(CommErrorNo::PortAlreadyOpen, "Port already open");
    clock.advanceMs(1000);
    c.cmdConnect_Click();
    EXPECT_EQ(logLines(), QByteArrayList{logLine("frmZNRInterface.cmdConnect_Click", 8005,
                                                 "Port already open")});
    EXPECT_EQ(rowTexts(), before);
    EXPECT_EQ(list.countText(), "0");
}

TEST_F(SerialOpeningTest, LostDeviceMarksItsRowOnceAndConnectReopensIt) {
    createSerial("3");
    createSerial("4");
    clock.advanceMs(30'000);
    port(1).loseDevice(CommErrorNo::ReadFailed, "Device I/O error (device removed)");
    EXPECT_EQ(cell(0, Col::StatusColumn), "Disconnected");
    EXPECT_EQ(cell(0, Col::LastUpdatedColumn), now());
    EXPECT_EQ(cell(1, Col::StatusColumn), "Connected");
    EXPECT_EQ(list.countText(), "1");
    EXPECT_EQ(logLines(), QByteArrayList{logLine("frmZNRInterface.ZNRComm_OnComm", 8020,
                                                 "Device I/O error (device removed)")});

    select(0);
    c.cmdConnect_Click();
    EXPECT_TRUE(port(1).PortOpen());
    EXPECT_EQ(port(1).written, (QByteArrayList{Greeting, Greeting}));
    EXPECT_EQ(cell(0, Col::StatusColumn), "Connected");
    EXPECT_EQ(list.countText(), "2");
    EXPECT_EQ(logLines().size(), 1);
}

} // namespace
} // namespace znr::test
