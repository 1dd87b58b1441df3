// Automatic reconnect over fake elements: which drops are retried, what a retry and a recovery
// do to the element, the row, the count and the log, and which operator actions end the retries.
// The retry timer is not waited for: the tests run the retry rounds themselves.

#include "config/AppSettings.h"
#include "config/LoadSettings.h"
#include "core/ErrorLog.h"
#include "protocol/Channel.h"
#include "protocol/ControlChars.h"
#include "protocol/DebugTextSink.h"
#include "protocol/ProtocolContext.h"
#include "protocol/ReceivePath.h"
#include "station/Connections.h"
#include "station/EventPump.h"
#include "station/ListRows.h"
#include "station/MemoryConnectionList.h"
#include "support/FakeClock.h"
#include "support/FakeSerialElement.h"
#include "support/FakeSocketElement.h"
#include "support/FileBytes.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace znr::test {
namespace {

const QByteArray Ack8(ctl::ACK8.data(), 2);

QByteArray frame(const char* type, const QByteArray& payload) {
    return QByteArray(1, ctl::SOH) + '1' + type + ctl::STX + payload + ctl::ETX + ctl::EOT;
}

// Each turn of a wait moves the fake clock on and delivers the pending Qt events.
class StepPump final : public EventPump {
public:
    explicit StepPump(FakeClock& clock) : clock_(clock) {}
    void turn(qint64 maxWaitMs) override {
        clock_.advanceMs(std::min<qint64>(maxWaitMs, 100));
        QCoreApplication::processEvents();
    }

private:
    FakeClock& clock_;
};

class NoDebugText final : public DebugTextSink {
public:
    void appendText(const QByteArray&) override {}
};

// One run with fake elements, the list in memory and every folder in a temp folder. The retry
// interval is an hour, so the real retry timer never fires while a test runs.
struct ReconnectFixture : ::testing::Test {
    TempDir dir;
    AppSettings settings;
    FakeClock clock;
    ErrorLog log{settings.ErrorLogFolder, clock};
    Channels channels;
    MemoryConnectionList list;
    ListRows rows{list};
    ProtocolContext ctx{settings, log, clock, rows};
    bool debugMode = false;
    NoDebugText debug;
    ReceivePath path{ctx, debugMode, debug};
    StepPump pump{clock};
    Connections connections{{settings, channels, log, clock, pump, list, path},
                            [](int i) -> std::unique_ptr<ISocketElement> {
                                return std::make_unique<FakeSocketElement>(i);
                            },
                            [](int i) -> std::unique_ptr<ISerialElement> {
                                return std::make_unique<FakeSerialElement>(i);
                            }};

    explicit ReconnectFixture(const char* mode = "ETHERNET") {
        settings.DefaultStartup = mode;
        settings.ReconnectSeconds = 3600;
        settings.DataLayoutColumn = true;
        settings.ArchiveRawFile = "NO";
        settings.DataFolder = dir.sub("Data Files");
        settings.ErrorLogFolder = dir.sub("Error Log");
        settings.CalCheckFolder = dir.sub("Cal Check");
        settings.CheckRodsFolder = dir.sub("Check Rods");
        settings.FastModeFolder = dir.sub("Fast Mode");
        settings.RawFileFolder = dir.sub("Raw Files");
    }

    QByteArray status(int row = 0) const { return list.cell(row, ConnectionList::StatusColumn); }
    QByteArray lastUpdated(int row = 0) const {
        return list.cell(row, ConnectionList::LastUpdatedColumn);
    }
    QByteArrayList logLines() const {
        QByteArrayList lines = readBytes(settings.ErrorLogFolder + "ZNRError.log").split('\n');
        lines.removeAll(QByteArray());
        for (QByteArray& line : lines)
            line = line.trimmed();
        return lines;
    }
};

struct EthernetReconnect : ReconnectFixture {
    // Opens the instrument at 10.0.0.5:4001 on index 1; the fake connects at once.
    FakeSocketElement& open() {
        settings.CurrentIP = "10.0.0.5";
        settings.CurrentPort = 4001;
        connections.CreateEthernetConnection(settings.CurrentIP, settings.CurrentPort);
        return socket();
    }
    FakeSocketElement& socket(int index = 1) {
        return static_cast<FakeSocketElement&>(connections.ZNRSocket().at(index));
    }
    // The instrument goes away; later connects only get under way until the test decides.
    FakeSocketElement& drop() {
        FakeSocketElement& s = socket();
        s.stateAfterConnect = SocketState::Connecting;
        s.raiseError(10054, "Connection is reset by remote side");
        return s;
    }
};

TEST_F(EthernetReconnect, DropWithReconnectOffIsNeverRetried) {
    settings.ReconnectSeconds = 0;
    FakeSocketElement& s = open();
    drop();
    EXPECT_EQ(status(), "Disconnected");
    EXPECT_TRUE(connections.dropped().empty());
    EXPECT_FALSE(connections.retryTimerRunning());
    connections.retryDropped();
    EXPECT_EQ(s.connectCalls, 1);
    EXPECT_EQ(logLines().size(), 1);
}

TEST_F(EthernetReconnect, DroppedConnectionIsRetriedAndRestoredWithTheGreeting) {
    FakeSocketElement& s = open();
    ASSERT_EQ(s.sent, QByteArrayList{Ack8});
    drop();
    EXPECT_EQ(status(), "Disconnected");
    EXPECT_EQ(list.countText(), "0");
    EXPECT_EQ(connections.dropped(), std::set<int>{1});
    EXPECT_TRUE(connections.retryTimerRunning());

    connections.retryDropped();
    EXPECT_EQ(s.connectCalls, 2);
    EXPECT_EQ(s.RemoteHost(), "10.0.0.5");
    EXPECT_EQ(s.RemotePort(), 4001);
    connections.retryDropped(); // the attempt is still under way: no second one
    EXPECT_EQ(s.connectCalls, 2);

    clock.advanceMs(7000);
    s.completeConnect();
    EXPECT_EQ(s.sent, (QByteArrayList{Ack8, Ack8}));
    EXPECT_EQ(status(), "Connected");
    EXPECT_EQ(lastUpdated(), "5/1/2012 10:15:37 AM");
    EXPECT_EQ(list.countText(), "1");
    EXPECT_TRUE(connections.dropped().empty());
    EXPECT_FALSE(connections.retryTimerRunning());
    EXPECT_EQ(logLines(), (QByteArrayList{"frmZNRInterface.ZNRSocket_Error, 10054, Connection is "
                                          "reset by remote side, 5/1/2012 10:15:30 AM",
                                          "frmZNRInterface.ReconnectConnection, 0, Connection "
                                          "restored, 5/1/2012 10:15:37 AM"}));
}

TEST_F(EthernetReconnect, FailedAttemptsAreRetriedWithoutAnyLogLine) {
    FakeSocketElement& s = open();
    drop();
    for (int attempt = 2; attempt <= 4; ++attempt) {
        connections.retryDropped();
        EXPECT_EQ(s.connectCalls, attempt);
        s.raiseError(10061, "Connection is forcefully rejected");
        EXPECT_EQ(status(), "Disconnected");
    }
    EXPECT_EQ(logLines().size(), 1); // the drop only
    connections.retryDropped();
    s.completeConnect();
    EXPECT_EQ(status(), "Connected");
    const QByteArrayList lines = logLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].startsWith("frmZNRInterface.ReconnectConnection, 0, Connection restored"));
}

TEST_F(EthernetReconnect, RestoredConnectionThatDropsAgainIsLoggedAndRetriedAgain) {
    FakeSocketElement& s = open();
    drop();
    connections.retryDropped();
    s.completeConnect();
    drop();
    EXPECT_EQ(connections.dropped(), std::set<int>{1});
    connections.retryDropped();
    s.completeConnect();
    EXPECT_EQ(status(), "Connected");
    EXPECT_EQ(s.sent, (QByteArrayList{Ack8, Ack8, Ack8}));
    EXPECT_EQ(logLines().size(), 4);
}

// A batch cut off by the drop is not written; the batch after the recovery is written alone,
// byte for byte the file of the same batch on a fresh connection.
TEST_F(EthernetReconnect, BatchCutByTheDropIsDroppedAndTheNextBatchStartsClean) {
    FakeSocketElement& s = open();
    s.feed(frame("IST", "RUN MODE,a,b,1234567,x"));
    s.feed(frame("STB", "X999,Q1,Q2,Q3"));
    s.feed(frame("DAT", "1,5,6,7"));
    s.feed(frame("DAT", "2,5.5,6.5,7.5").left(9)); // half a frame
    drop();
    connections.retryDropped();
    s.completeConnect();
    const qsizetype repliesBefore = s.sent.size();

    for (const QByteArray& f : {frame("IST", "RUN MODE,a,b,1234567,x"), frame("STB", "X100,W1,D1"),
                                frame("DAT", "1,0.81,7.8"), frame("DAT", "2,0.805,7.79"),
                                frame("DAT", "3,0.812,7.80"), frame("ENB", "")})
        s.feed(f);

    EXPECT_EQ(s.sent.mid(repliesBefore), QByteArrayList(6, Ack8));
    EXPECT_EQ(listFiles(settings.DataFolder), QByteArrayList{"1234 05-01-2012-101530.dat"});
    EXPECT_EQ(readBytes(settings.DataFolder + "1234 05-01-2012-101530.dat"),
              testData("protocol/run_mode_column.dat"));
}

enum class Operator { Disconnect, DisconnectAll, Delete, Shutdown };

struct OperatorCase {
    const char* name;
    Operator action;
};

struct OperatorEndsRetries : EthernetReconnect, ::testing::WithParamInterface<OperatorCase> {
    void act(Operator action) {
        list.select(0);
        switch (action) {
        case Operator::Disconnect:
            connections.DisconnectConnection();
            break;
        case Operator::DisconnectAll:
            connections.DisconnectAll();
            break;
        case Operator::Delete:
            connections.DeleteConnection();
            break;
        case Operator::Shutdown:
            connections.closeAllForShutdown();
            break;
        }
    }
};

TEST_P(OperatorEndsRetries, NoFurtherAttemptAndNoRecovery) {
    open();
    FakeSocketElement& dropped = drop();
    connections.retryDropped(); // an attempt is under way when the operator acts
    ASSERT_EQ(dropped.connectCalls, 2);
    const bool keepsElement =
        GetParam().action == Operator::Disconnect || GetParam().action == Operator::DisconnectAll;
    act(GetParam().action);

    EXPECT_TRUE(connections.dropped().empty());
    EXPECT_FALSE(connections.retryTimerRunning());
    if (keepsElement) {
        EXPECT_NE(dropped.State(), SocketState::Connecting); // the attempt was closed
        dropped.completeConnect(); // a late success does not bring the row back
        connections.retryDropped();
        EXPECT_EQ(dropped.connectCalls, 2);
        EXPECT_EQ(dropped.sent, QByteArrayList{Ack8});
        EXPECT_EQ(status(), "Disconnected");
    } else if (connections.ZNRSocket().exists(1)) {
        connections.retryDropped();
        EXPECT_EQ(socket().connectCalls, 0); // the fresh element of a deleted connection
    }
    for (const QByteArray& line : logLines())
        EXPECT_FALSE(line.contains("ReconnectConnection")) << line.constData();
}

INSTANTIATE_TEST_SUITE_P(Actions, OperatorEndsRetries,
                         ::testing::Values(OperatorCase{"Disconnect", Operator::Disconnect},
                                           OperatorCase{"DisconnectAll", Operator::DisconnectAll},
                                           OperatorCase{"Delete", Operator::Delete},
                                           OperatorCase{"Shutdown", Operator::Shutdown}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EthernetReconnect, OperatorConnectOnADroppedRowTakesOverFromTheRetries) {
    FakeSocketElement& s = open();
    drop();
    s.stateAfterConnect = SocketState::Connected;
    list.select(0);
    connections.cmdConnect_Click();
    EXPECT_EQ(s.sent, (QByteArrayList{Ack8, Ack8}));
    EXPECT_EQ(status(), "Connected");
    EXPECT_TRUE(connections.dropped().empty());
    EXPECT_FALSE(connections.retryTimerRunning());
    EXPECT_EQ(logLines().size(), 1); // the drop; the operator's reopen logs nothing
}

TEST_F(EthernetReconnect, FailedOperatorConnectLeavesTheRetriesRunning) {
    FakeSocketElement& s = open();
    drop();
    s.stateAfterConnect = SocketState::Error;
    list.select(0);
    connections.cmdConnect_Click();
    const QByteArrayList lines = logLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].startsWith(
        "frmZNRInterface.cmdConnect_Click, 0, Winsock Error Connection Unavailable"));
    EXPECT_EQ(connections.dropped(), std::set<int>{1});
    EXPECT_TRUE(connections.retryTimerRunning());
}

struct SerialReconnect : ReconnectFixture {
    SerialReconnect() : ReconnectFixture("SERIAL") {}

    // Opens COM3 with DTR raised and RTS dropped on index 1.
    FakeSerialElement& open() {
        settings.CurrentCommPort = "3";
        settings.CurrentSettings = "19200,e,7,1";
        settings.CurrentDTR = true;
        settings.CurrentRTS = false;
        connections.CreateSerialConnection(settings.CurrentCommPort, settings.CurrentSettings);
        return port();
    }
    FakeSerialElement& port() {
        return static_cast<FakeSerialElement&>(connections.ZNRComm().at(1));
    }
    // The device vanishes and cannot be opened until the test allows it.
    FakeSerialElement& lose() {
        FakeSerialElement& p = port();
        p.loseDevice(8005, "Error reading comm device");
        p.openFailure = Failure(8002, "Invalid port number");
        return p;
    }
};

TEST_F(SerialReconnect, LostDeviceIsReopenedWithItsOwnLineSettingsAndGreeted) {
    FakeSerialElement& p = open();
    lose();
    EXPECT_EQ(status(), "Disconnected");
    EXPECT_EQ(connections.dropped(), std::set<int>{1});

    settings.CurrentDTR = false; // another connection's values must not be used
    settings.CurrentRTS = true;
    connections.retryDropped();
    connections.retryDropped();
    EXPECT_FALSE(p.PortOpen());
    EXPECT_EQ(p.openCalls, 3); // the first open and two failed attempts
    EXPECT_EQ(logLines().size(), 1);

    p.openFailure.reset();
    clock.advanceMs(2000);
    connections.retryDropped();
    EXPECT_TRUE(p.PortOpen());
    EXPECT_EQ(p.CommPort(), 3);
    EXPECT_EQ(p.Settings(), "19200,e,7,1");
    EXPECT_TRUE(p.DTREnable());
    EXPECT_FALSE(p.RTSEnable());
    EXPECT_EQ(p.written, (QByteArrayList{Ack8, Ack8}));
    EXPECT_EQ(status(), "Connected");
    EXPECT_EQ(lastUpdated(), "5/1/2012 10:15:32 AM");
    EXPECT_EQ(list.countText(), "1");
    EXPECT_TRUE(connections.dropped().empty());
    EXPECT_EQ(logLines(),
              (QByteArrayList{"frmZNRInterface.ZNRComm_OnComm, 8005, Error reading comm device, "
                              "5/1/2012 10:15:30 AM",
                              "frmZNRInterface.ReconnectConnection, 0, Connection restored, "
                              "5/1/2012 10:15:32 AM"}));
}

TEST_F(SerialReconnect, LostDeviceWithReconnectOffStaysClosed) {
    settings.ReconnectSeconds = 0;
    FakeSerialElement& p = open();
    lose();
    p.openFailure.reset();
    connections.retryDropped();
    EXPECT_FALSE(p.PortOpen());
    EXPECT_EQ(p.openCalls, 1);
    EXPECT_FALSE(connections.retryTimerRunning());
}

TEST_F(SerialReconnect, FailedOperatorConnectLeavesTheRetriesRunning) {
    open();
    lose();
    list.select(0);
    connections.cmdConnect_Click();
    EXPECT_EQ(logLines().size(), 2); // the loss and the failed Connect
    EXPECT_EQ(connections.dropped(), std::set<int>{1});
    EXPECT_TRUE(connections.retryTimerRunning());
}

TEST_F(SerialReconnect, OperatorDisconnectEndsTheRetries) {
    FakeSerialElement& p = open();
    lose();
    p.openFailure.reset();
    list.select(0);
    connections.DisconnectConnection();
    connections.retryDropped();
    EXPECT_FALSE(p.PortOpen());
    EXPECT_EQ(status(), "Disconnected");
    EXPECT_TRUE(connections.dropped().empty());
}

// [RECONNECT] SECONDS: anything but a positive number turns the reconnect off.
TEST(ReconnectSecondsKey, OnlyAPositiveNumberTurnsTheReconnectOn) {
    const std::pair<const char*, qint16> table[] = {
        {"", 0},
        {"[RECONNECT]\r\n", 0},
        {"[RECONNECT]\r\nSECONDS=\r\n", 0},
        {"[RECONNECT]\r\nSECONDS=5\r\n", 5},
        {"[RECONNECT]\r\nSECONDS= 30\r\n", 30},
        {"[RECONNECT]\r\nSECONDS=0\r\n", 0},
        {"[RECONNECT]\r\nSECONDS=-3\r\n", 0},
        {"[RECONNECT]\r\nSECONDS=ten\r\n", 0},
        {"[RECONNECT]\r\nSECONDS=99999\r\n", 0},
        {"[RECONNECT]\r\nSECONDS=3600\r\n", 3600},
    };
    TempDir dir;
    for (const auto& [text, seconds] : table) {
        SCOPED_TRACE(text);
        const QByteArray path = dir.path("ZNRExtractor.ini");
        writeBytes(path, QByteArray("[DEFAULT]\r\nMODE=ETHERNET\r\n") + text);
        EXPECT_EQ(readReconnectSeconds(QString::fromLocal8Bit(path)), seconds);
    }
}

} // namespace
} // namespace znr::test
