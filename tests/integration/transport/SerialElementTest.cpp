#include "support/Pty.h"
#include "config/AppSettings.h"
#include "link/ElementSets.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace znr {
namespace {

using test::Pty;

const QByteArray kAck8("\x06\x38", 2);
const QByteArray kFrame("\x01"
                        "1STB\x02"
                        "X100,W1,D1\x03\x04");
constexpr qint16 kCom = 7;

// COM 7 is mapped to a fresh pty; the test plays the instrument on its master side.
struct SerialElementTest : ::testing::Test {
    Pty pty;
    AppSettings settings;
    SerialSet set{serialElementFactory(settings)};
    ISerialElement& port = set.create(2);
    QSignalSpy events{&port, &ISerialElement::commEvent};
    QSignalSpy losses{&port, &ISerialElement::deviceLost};

    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        settings.SerialPortDevices[kCom] = pty.slavePath();
        port.setCommPort(kCom);
    }

    // Configured and opened the way a serial connection is opened.
    void openPort() {
        port.setSettings("9600,n,8,1");
        port.setDTREnable(true);
        port.setRTSEnable(true);
        port.setRThreshold(1);
        port.setSThreshold(0);
        port.setPortOpen(true);
    }

    QByteArray input(qsizetype expected) {
        QByteArray got;
        (void)QTest::qWaitFor([&] {
            if (!events.isEmpty())
                got += port.Input();
            return got.size() >= expected;
        });
        return got;
    }
};

TEST_F(SerialElementTest, PtyWithoutModemLinesOpensAndTheGreetingReachesIt) {
    ASSERT_NO_THROW(openPort());
    EXPECT_TRUE(port.PortOpen());
    port.Output(kAck8);
    EXPECT_EQ(pty.read(2), kAck8);
    EXPECT_TRUE(losses.isEmpty());
}

TEST_F(SerialElementTest, ReceivedBytesRaiseEventsWithTheIndexAndInputEmptiesTheBuffer) {
    openPort();
    pty.write(kFrame.left(4));
    ASSERT_TRUE(events.wait(5000));
    QByteArray got = port.Input();
    pty.write(kFrame.mid(4));
    got += input(kFrame.size() - got.size());
    EXPECT_EQ(got, kFrame);
    EXPECT_EQ(port.Input(), QByteArray());
    for (const QList<QVariant>& e : events)
        EXPECT_EQ(e.at(0).toInt(), 2);
}

TEST_F(SerialElementTest, MissingDeviceIsAnInvalidPortNumberNamingTheDevice) {
    settings.SerialPortDevices[kCom] = "/dev/znr-no-such-tty";
    try {
        openPort();
        FAIL() << "opened a missing device";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), CommErrorNo::InvalidPortNumber);
        EXPECT_TRUE(f.description().startsWith("Invalid port number"));
        EXPECT_TRUE(f.description().contains("/dev/znr-no-such-tty"));
    }
    EXPECT_FALSE(port.PortOpen());
}

TEST_F(SerialElementTest, PortHeldByAnotherElementIsAlreadyOpen) {
    openPort();
    ISerialElement& second = set.create(3);
    second.setCommPort(kCom);
    try {
        second.setPortOpen(true);
        FAIL() << "opened a busy port";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), CommErrorNo::PortAlreadyOpen);
    }
    EXPECT_FALSE(second.PortOpen());
    EXPECT_TRUE(port.PortOpen());
    EXPECT_THROW(port.setPortOpen(true), Failure); // opening an open port
}

TEST_F(SerialElementTest, ClosedPortRefusesOutputAndInputAndCanBeReopened) {
    openPort();
    port.setPortOpen(false);
    EXPECT_FALSE(port.PortOpen());
    EXPECT_THROW(port.Output(kAck8), Failure);
    EXPECT_THROW(port.Input(), Failure);
    port.setPortOpen(true);
    port.Output(kAck8);
    EXPECT_EQ(pty.read(2), kAck8);
}

// A pty carries 8 data bits without parity only: 7 data bits with even parity is a text that
// parses but that the device refuses.
TEST_F(SerialElementTest, SettingsAreCheckedAndAppliedOnAnOpenPort) {
    openPort();
    struct Row {
        const char* text;
        bool accepted;
    };
    const Row table[] = {{"19200,n,8,2", true}, {"19200,e,7,2", false},  {"9600,x,8,1", false},
                         {"9600,n,9,1", false}, {"9600,n,8,1.5", false}, {"abc", false},
                         {"115200,N,8,1", true}};
    for (const Row& row : table) {
        SCOPED_TRACE(row.text);
        const QByteArray before = port.Settings();
        if (row.accepted) {
            EXPECT_NO_THROW(port.setSettings(row.text));
            EXPECT_EQ(port.Settings(), row.text);
        } else {
            try {
                port.setSettings(row.text);
                ADD_FAILURE() << "accepted";
            } catch (const Failure& f) {
                EXPECT_EQ(f.number(), CommErrorNo::InvalidPropertyValue);
                EXPECT_TRUE(f.description().contains(row.text));
            }
            EXPECT_EQ(port.Settings(), before);
        }
        EXPECT_TRUE(port.PortOpen());
    }
    port.Output(kAck8);
    EXPECT_EQ(pty.read(2), kAck8);
}

TEST_F(SerialElementTest, SettingsTheDeviceRefusesMakeOpeningFailAndLeaveItClosed) {
    port.setSettings("19200,e,7,2");
    try {
        port.setPortOpen(true);
        FAIL() << "opened with settings the device refuses";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), CommErrorNo::InvalidPropertyValue);
    }
    EXPECT_FALSE(port.PortOpen());
    port.setSettings("9600,n,8,1");
    EXPECT_NO_THROW(port.setPortOpen(true)); // the device was released
}

TEST_F(SerialElementTest, VanishedDeviceClosesThePortOnceWithoutAnEventStorm) {
    openPort();
    pty.closeMaster();
    ASSERT_TRUE(losses.wait(5000));
    QTest::qWait(300);
    EXPECT_EQ(losses.size(), 1);
    EXPECT_LT(events.size() + losses.size(), 5);
    EXPECT_FALSE(port.PortOpen());
    EXPECT_EQ(losses.first().at(0).toInt(), 2);
    EXPECT_EQ(losses.first().at(1).toInt(), CommErrorNo::ReadFailed);
    EXPECT_TRUE(losses.first().at(2).toByteArray().startsWith("Error reading comm device"));
}

} // namespace
} // namespace znr
