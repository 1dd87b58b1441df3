// The settings the program writes into its INI file: options and instrument sections.
#include "config/ConnectionOpener.h"
#include "config/InstrumentSections.h"
#include "config/SettingsOptions.h"
#include "unit/config/ConfigFixture.h"

namespace znr {
namespace {

using test::writeBytes;

struct SettingsWritesTest : test::ConfigFixture {};

TEST_F(SettingsWritesTest, SerialSectionEndsAnUnterminatedLastLineAndNamesEveryField) {
    writeBytes(iniPath, test::testData("config/serial-before-append.ini"));
    EXPECT_EQ(appendSerialInstrument(s, {"12", "19200,e,7,2", 2, true, false}, log), 1);
    EXPECT_EQ(s.serialCount, 2);
    EXPECT_EQ(ini(), test::testData("config/serial-after-append.ini"));
}

// tests/data/config/append-refusals.txt: each refusal leaves the file and the counts alone.
TEST_F(SettingsWritesTest, CountThatIsNoNumberOrAForgingFieldAppendsNothing) {
    const SerialInstrument forging{"1", "9600,n,8,1\r\n[ADMIN]\r\nPASSWORD="};
    for (const QByteArrayList& c : test::caseTable("config/append-refusals.txt")) {
        SCOPED_TRACE(c[1].toStdString());
        QFile::remove(s.iniFilePath);
        if (c[1] != "-")
            writeBytes(iniPath, c[1]);
        clearLog();
        s.ethernetCount = s.serialCount = 5;
        EXPECT_EQ(c[0] == "serial" ? appendSerialInstrument(s, forging, log)
                                   : appendEthernetInstrument(s, {"10.1.2.3", 1}, log),
                  0);
        EXPECT_EQ(ini(), c[1] == "-" ? "" : c[1]);
        EXPECT_EQ(test::fileExists(iniPath), c[1] != "-");
        EXPECT_EQ(s.ethernetCount, 5);
        EXPECT_EQ(logText().count("\r\n"), 1);
        EXPECT_TRUE(logText().startsWith(c[2] + ' ')) << logText().constData();
    }
}

// A load that stopped early leaves texts empty in memory: the file keeps what it holds.
TEST_F(SettingsWritesTest, EmptyOptionsAndPasswordsThatCannotBeScrambledAreNotWritten) {
    const QByteArray before = "[ADMIN]\r\nPASSWORD=WZc_d\r\n[CHECK RODS]\r\nID=R1\r\n"
                              "[DEFAULT]\r\nMODE=ETHERNET\r\n";
    writeBytes(iniPath, before);
    s.adminPassword = QByteArray("ab\x05", 3); // a code below 10 has no scrambled form
    s.errorLogFolder.clear();
    writeOptions(s, log);
    EXPECT_EQ(ini(), before + "[DATA LAYOUT]\r\nCOLUMN=False\r\n[ARCHIVE RAW FILE]\r\nDAYS= 0\r\n");
}

} // namespace
} // namespace znr
