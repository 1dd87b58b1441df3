#include "config/InstrumentSections.h"

#include "config/ConnectionOpener.h"
#include "unit/config/ConfigFixture.h"

namespace znr {
namespace {

using test::writeBytes;

struct InstrumentSectionsTest : test::ConfigFixture {};

TEST_F(InstrumentSectionsTest, SerialSectionEndsAnUnterminatedLastLineAndNamesEveryField) {
    writeBytes(iniPath, test::testData("config/serial-before-append.ini"));
    EXPECT_EQ(appendSerialInstrument(s, {"12", "19200,e,7,2", 2, true, false}, log), 1);
    EXPECT_EQ(s.SerialCount, 2);
    EXPECT_EQ(ini(), test::testData("config/serial-after-append.ini"));
}

TEST_F(InstrumentSectionsTest, CountThatIsNoNumberOrAForgingFieldAppendsNothing) {
    const struct {
        const char* file; // nullptr: no file
        bool serial;
        const char* logged;
    } cases[] = {
        {"[OTHER]\r\nx=1\r\n", false, "AddEthernetZNRINI, 13, Type mismatch, "},
        {"[ZNR NUM ETHERNET]\r\nZNRs=two\r\n", false, "AddEthernetZNRINI, 13, Type mismatch, "},
        {"[ZNR NUM ETHERNET]\r\nZNRs=32767\r\n", false, "AddEthernetZNRINI, 6, Overflow, "},
        {nullptr, true, "AddSerialZNRINI, 13, Type mismatch, "},
        {"[ZNR NUM SERIAL]\r\nZNRs= 0\r\n[ADMIN]\r\nPASSWORD=WZc_d\r\n", true,
         "AddSerialZNRINI, 5, Invalid procedure call or argument, "},
    };
    const SerialInstrument forging{"1", "9600,n,8,1\r\n[ADMIN]\r\nPASSWORD="};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.logged);
        QFile::remove(s.IniFilePath);
        if (c.file)
            writeBytes(iniPath, c.file);
        clearLog();
        s.EthernetCount = s.SerialCount = 5;
        EXPECT_EQ(c.serial ? appendSerialInstrument(s, forging, log)
                           : appendEthernetInstrument(s, {"10.1.2.3", 1}, log),
                  0);
        EXPECT_EQ(ini(), c.file ? c.file : "");
        EXPECT_EQ(test::fileExists(iniPath), c.file != nullptr);
        EXPECT_EQ(s.EthernetCount, 5);
        EXPECT_EQ(logText().count("\r\n"), 1);
        EXPECT_TRUE(logText().startsWith(c.logged)) << logText().constData();
    }
}

} // namespace
} // namespace znr
