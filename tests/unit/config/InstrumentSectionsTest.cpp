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

// tests/data/config/append-refusals.txt: each refusal leaves the file and the counts alone.
TEST_F(InstrumentSectionsTest, CountThatIsNoNumberOrAForgingFieldAppendsNothing) {
    const SerialInstrument forging{"1", "9600,n,8,1\r\n[ADMIN]\r\nPASSWORD="};
    for (const QByteArrayList& c : test::caseTable("config/append-refusals.txt")) {
        SCOPED_TRACE(c[1].toStdString());
        QFile::remove(s.IniFilePath);
        if (c[1] != "-")
            writeBytes(iniPath, c[1]);
        clearLog();
        s.EthernetCount = s.SerialCount = 5;
        EXPECT_EQ(c[0] == "serial" ? appendSerialInstrument(s, forging, log)
                                   : appendEthernetInstrument(s, {"10.1.2.3", 1}, log),
                  0);
        EXPECT_EQ(ini(), c[1] == "-" ? "" : c[1]);
        EXPECT_EQ(test::fileExists(iniPath), c[1] != "-");
        EXPECT_EQ(s.EthernetCount, 5);
        EXPECT_EQ(logText().count("\r\n"), 1);
        EXPECT_TRUE(logText().startsWith(c[2] + ' ')) << logText().constData();
    }
}

} // namespace
} // namespace znr
