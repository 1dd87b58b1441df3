#include "link/SerialSettings.h"

#include "config/AppSettings.h"
#include "core/Failure.h"

#include <gtest/gtest.h>

namespace znr {
namespace {

struct Accepted {
    const char* text;
    qint32 baud;
    QSerialPort::Parity parity;
    QSerialPort::DataBits dataBits;
    QSerialPort::StopBits stopBits;
};

TEST(SerialSettingsTest, WellFormedTextsGiveTheirLineSettings) {
    const Accepted table[] = {
        {"9600,n,8,1", 9600, QSerialPort::NoParity, QSerialPort::Data8, QSerialPort::OneStop},
        {"19200,e,7,2", 19200, QSerialPort::EvenParity, QSerialPort::Data7, QSerialPort::TwoStop},
        {"300,O,5,1", 300, QSerialPort::OddParity, QSerialPort::Data5, QSerialPort::OneStop},
        {"250000,m,6,2", 250000, QSerialPort::MarkParity, QSerialPort::Data6, QSerialPort::TwoStop},
        {"1200,s,8,1", 1200, QSerialPort::SpaceParity, QSerialPort::Data8, QSerialPort::OneStop},
    };
    for (const Accepted& a : table) {
        SCOPED_TRACE(a.text);
        const SerialLineSettings s = parseSerialSettings(a.text);
        EXPECT_EQ(s.baudRate, a.baud);
        EXPECT_EQ(s.parity, a.parity);
        EXPECT_EQ(s.dataBits, a.dataBits);
        EXPECT_EQ(s.stopBits, a.stopBits);
    }
}

TEST(SerialSettingsTest, TextsThePortCannotCarryOutAreInvalidPropertyValues) {
    const char* table[] = {"9600,x,8,1",
                           "9600,n,9,1",
                           "9600,n,4,1",
                           "9600,n,8,3",
                           "9600,n,8,1.5",
                           "abc",
                           "",
                           "0,n,8,1",
                           "-9600,n,8,1",
                           "9600,n,8",
                           "9600,n,8,1,",
                           " 9600,n,8,1",
                           "99999999999,n,8,1"};
    for (const char* text : table) {
        SCOPED_TRACE(text);
        try {
            parseSerialSettings(text);
            ADD_FAILURE() << "accepted";
        } catch (const Failure& f) {
            EXPECT_EQ(f.number(), CommErrorNo::InvalidPropertyValue);
            EXPECT_TRUE(f.description().startsWith("Invalid property value"));
            EXPECT_TRUE(f.description().contains(text));
        }
    }
}

TEST(SerialSettingsTest, OneAndAHalfStopBitsSayWhyTheyAreRefused) {
    try {
        parseSerialSettings("9600,n,8,1.5");
        FAIL() << "accepted";
    } catch (const Failure& f) {
        EXPECT_TRUE(f.description().contains("1.5 stop bits are not supported"));
    }
}

TEST(SerialSettingsTest, ComNumberMapsToTheConfiguredDeviceElseTheSystemName) {
    AppSettings settings;
    settings.SerialPortDevices[3] = "/dev/ttyUSB0";
    EXPECT_EQ(serialDeviceFor(3, settings), "/dev/ttyUSB0");
    EXPECT_EQ(serialDeviceFor(1, settings), "/dev/ttyS0");
    EXPECT_EQ(serialDeviceFor(12, settings), "/dev/ttyS11");
}

} // namespace
} // namespace znr
