#include "config/InstrumentSections.h"

#include "config/AppSettings.h"
#include "config/IniFile.h"
#include "core/ErrorLog.h"
#include "support/FakeClock.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

#include <QFile>
#include <gtest/gtest.h>

namespace znr {
namespace {

using test::readBytes;
using test::writeBytes;

struct InstrumentSectionsTest : ::testing::Test {
    test::TempDir dir;
    AppSettings s;
    test::FakeClock clock;
    ErrorLog log{s.ErrorLogFolder, clock};
    QByteArray iniPath = dir.path("ZNRExtractor.ini");

    void SetUp() override {
        s.IniFilePath = QFile::decodeName(iniPath);
        s.ErrorLogFolder = dir.sub("log");
    }
    QByteArray logText() const { return readBytes(s.ErrorLogFolder + "ZNRError.log"); }
};

TEST_F(InstrumentSectionsTest, FirstEthernetInstrumentBecomesSectionOneAndCountOne) {
    writeBytes(iniPath, "[ZNR NUM ETHERNET]\r\nZNRs=0\r\n");
    s.CurrentIP = "10.1.2.3";
    s.CurrentPort = 50000;
    EXPECT_NE(AddEthernetZNRINI(s, log), 0);
    EXPECT_EQ(s.EthernetCount, 1);
    EXPECT_EQ(readBytes(iniPath), "[ZNR NUM ETHERNET]\r\nZNRs= 1\r\n"
                                  "\r\n[ZNR-ENT1]\r\nIP=10.1.2.3\r\nPort=50000\r\n");
    EXPECT_TRUE(logText().isEmpty());
}

TEST_F(InstrumentSectionsTest, TwoAppendsTakeTheCountFromTheFileEachTime) {
    writeBytes(iniPath, "[ZNR NUM ETHERNET]\r\nZNRs= 2\r\n");
    s.EthernetCount = 7; // the count in memory does not matter
    s.CurrentIP = "a";
    s.CurrentPort = 1;
    AddEthernetZNRINI(s, log);
    s.CurrentIP = "b";
    s.CurrentPort = 2;
    AddEthernetZNRINI(s, log);
    EXPECT_EQ(s.EthernetCount, 4);
    EXPECT_EQ(readBytes(iniPath), "[ZNR NUM ETHERNET]\r\nZNRs= 4\r\n"
                                  "\r\n[ZNR-ENT3]\r\nIP=a\r\nPort=1\r\n"
                                  "\r\n[ZNR-ENT4]\r\nIP=b\r\nPort=2\r\n");
}

TEST_F(InstrumentSectionsTest, SerialSectionEndsAnUnterminatedLastLineAndNamesEveryField) {
    writeBytes(iniPath, test::testData("config/serial-before-append.ini"));
    s.CurrentCommPort = "12";
    s.CurrentSettings = "19200,e,7,2";
    s.CurrentHandShaking = 2;
    s.CurrentDTR = true;
    s.CurrentRTS = false;
    EXPECT_NE(AddSerialZNRINI(s, log), 0);
    EXPECT_EQ(s.SerialCount, 2);
    EXPECT_EQ(readBytes(iniPath), test::testData("config/serial-after-append.ini"));
}

TEST_F(InstrumentSectionsTest, CountThatIsNoNumberAppendsNothing) {
    const struct {
        const char* file;
        const char* logged;
    } cases[] = {
        {"[OTHER]\r\nx=1\r\n", "AddEthernetZNRINI, 13, Type mismatch, "},
        {"[ZNR NUM ETHERNET]\r\nZNRs=two\r\n", "AddEthernetZNRINI, 13, Type mismatch, "},
        {"[ZNR NUM ETHERNET]\r\nZNRs=32767\r\n", "AddEthernetZNRINI, 6, Overflow, "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        writeBytes(iniPath, c.file);
        QFile::remove(QFile::decodeName(s.ErrorLogFolder + "ZNRError.log"));
        s.EthernetCount = 5;
        EXPECT_EQ(AddEthernetZNRINI(s, log), 0);
        EXPECT_EQ(readBytes(iniPath), c.file);
        EXPECT_EQ(s.EthernetCount, 5);
        EXPECT_EQ(logText().count("\r\n"), 1);
        EXPECT_TRUE(logText().startsWith(c.logged)) << logText().constData();
    }
}

TEST_F(InstrumentSectionsTest, MissingFileAppendsNothingAndCreatesNothing) {
    EXPECT_EQ(AddSerialZNRINI(s, log), 0);
    EXPECT_FALSE(test::fileExists(iniPath));
    EXPECT_TRUE(logText().startsWith("AddSerialZNRINI, 13, Type mismatch, "));
}

TEST_F(InstrumentSectionsTest, LineEndInAFieldCannotForgeSections) {
    const QByteArray before = "[ZNR NUM SERIAL]\r\nZNRs= 0\r\n[ADMIN]\r\nPASSWORD=WZc_d\r\n";
    writeBytes(iniPath, before);
    s.CurrentCommPort = "1";
    s.CurrentSettings = "9600,n,8,1\r\n[ADMIN]\r\nPASSWORD=";
    EXPECT_EQ(AddSerialZNRINI(s, log), 0);
    EXPECT_EQ(readBytes(iniPath), before);
    EXPECT_TRUE(logText().startsWith("AddSerialZNRINI, 5, Invalid procedure call or argument, "));
}

} // namespace
} // namespace znr
