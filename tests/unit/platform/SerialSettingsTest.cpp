#include "link/SerialSettings.h"

#include "config/AppSettings.h"
#include "core/Failure.h"

#include <gtest/gtest.h>

namespace znr {
namespace {

// (The texts accepted and refused are rows of tests/data/config/conversions.txt.)
TEST(SerialSettingsTest, RefusalNamesTheTextAndOneAndAHalfStopBitsSayWhy) {
    try {
        parseSerialSettings("9600,n,8,1.5");
        FAIL() << "accepted";
    } catch (const Failure& f) {
        EXPECT_TRUE(f.description().startsWith("Invalid property value"));
        EXPECT_TRUE(f.description().contains("9600,n,8,1.5"));
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
