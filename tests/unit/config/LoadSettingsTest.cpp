#include "config/LoadSettings.h"

#include "config/ConnectionOpener.h"
#include "unit/config/ConfigFixture.h"

#include <optional>

namespace znr {
namespace {

// Records every instrument handed over, with the serial line fields as they stood at the call.
class RecordingOpener final : public ConnectionOpener {
public:
    explicit RecordingOpener(const AppSettings& s) : s(s) {}
    void CreateEthernetConnection(const QByteArray& ip, quint16 port) override {
        calls.append("ENT " + ip + ':' + QByteArray::number(port));
    }
    void CreateSerialConnection(const QByteArray& commPort, const QByteArray& settings) override {
        calls.append("SER " + commPort + ' ' + settings + " hs" +
                     QByteArray::number(s.CurrentHandShaking) + (s.CurrentDTR ? " dtr" : "") +
                     (s.CurrentRTS ? " rts" : ""));
    }
    const AppSettings& s;
    QByteArrayList calls;
};

const QByteArrayList SerialCalls = {"SER 1 9600,n,8,1 hs0 dtr", "SER 12 19200,e,7,2 hs2 rts"};
const QByteArrayList EthernetCalls = {"ENT 10.0.0.5:4001", "ENT host2:50000"};

struct Edit {
    const char* section;
    const char* key;
    std::optional<QByteArray> value; // nothing: the key is left out
};

struct LoadSettingsTest : test::ConfigFixture {
    RecordingOpener opener{s};
    QByteArray logFolder = dir.sub("log");

    // Loads the complete file with some keys changed, into fresh settings.
    void load(std::initializer_list<Edit> edits = {}) {
        QByteArrayList lines = test::testData("config/load-complete.ini").split('\n');
        QByteArray section;
        for (QByteArray& line : lines) {
            if (line.startsWith('['))
                section = line.mid(1, line.indexOf(']') - 1);
            for (const Edit& e : edits)
                if (section == e.section && line.startsWith(QByteArray(e.key) + '='))
                    line = e.value ? QByteArray(e.key) + '=' + *e.value + '\r' : QByteArray();
        }
        test::writeBytes(iniPath,
                         lines.join('\n').replace("\n\n", "\n").replace("@LOG@", logFolder));
        s = AppSettings{};
        s.IniFilePath = QFile::decodeName(iniPath);
        opener.calls.clear();
        QFile::remove(QFile::decodeName(logFolder + "ZNRError.log"));
        loadSettings(s, opener, log);
    }

    // How many of the steps 1..12 left their field as the complete file has it.
    int stepsDone() const {
        const bool done[] = {
            s.DefaultStartup == "SERIAL" || s.DefaultStartup == "ETHERNET",
            s.DataLayoutColumn,
            s.EthernetCount == 2,
            s.SerialCount == 2,
            s.CheckRodID == "ROD7",
            s.ArchiveRawFile == "YES",
            s.ArchiveDays == 30,
            s.AdminPassword == "admin",
            s.DisconnectPassword == "disc",
            s.RawDataTempNumber == 100,
            s.CompanyName == "Acme Mills",
            s.DataFolder == "/d/" && s.ErrorLogFolder == logFolder && s.CalCheckFolder == "/c/" &&
                s.CheckRodsFolder == "/r/" && s.FastModeFolder == "/f/" && s.RawFileFolder == "/w/",
        };
        int n = 0;
        while (n < 12 && done[n])
            ++n;
        return n;
    }
};

TEST_F(LoadSettingsTest, CompleteFileFillsEverySettingAndHandsOverTheCountedInstrumentsInOrder) {
    load();
    EXPECT_EQ(stepsDone(), 12);
    EXPECT_EQ(s.ReconnectSeconds, 7);
    EXPECT_EQ(opener.calls, SerialCalls); // ZNR-SER3 lies beyond the count; no Ethernet at all
    const std::map<int, QByteArray> devices{{1, "/dev/pts/7"}, {20, "/dev/ttyUSB0"}};
    EXPECT_EQ(s.SerialPortDevices, devices);
    EXPECT_TRUE(logText().isEmpty());

    load({{"DEFAULT", "MODE", "ETHERNET"}});
    EXPECT_EQ(stepsDone(), 12);
    EXPECT_EQ(opener.calls, EthernetCalls);  // port 50000 opens, ZNR-ENT3 does not
    load({{"DEFAULT", "MODE", "ethernet"}}); // only upper case selects Ethernet
    EXPECT_EQ(opener.calls, SerialCalls);
}

TEST_F(LoadSettingsTest, MissingFileEndsAtTheFirstConversionWithNothingSet) {
    s.ErrorLogFolder.clear();
    loadSettings(s, opener, log);
    EXPECT_EQ(s.DefaultStartup, "");
    EXPECT_FALSE(s.DataLayoutColumn);
    EXPECT_TRUE(opener.calls.isEmpty());
    EXPECT_TRUE(test::listFiles(logFolder).isEmpty());
}

struct Case {
    const char* name;
    std::initializer_list<Edit> edits;
    int stepsDone;        // of the steps 1..12
    QByteArrayList calls; // instruments handed over before the stop
    const char* logged;   // the one line's start, or "" when nothing is logged
};

TEST_F(LoadSettingsTest, BadValueEndsTheLoadAtItsStepAndOddValuesDoNot) {
    const char* mismatch = "LoadConstants, 13, Type mismatch, ";
    const char* overflow = "LoadConstants, 6, Overflow, ";
    const Case cases[] = {
        // Before the error folder is known nothing can be logged.
        {"column maybe", {{"DATA LAYOUT", "COLUMN", "maybe"}}, 1, {}, ""},
        {"column missing", {{"DATA LAYOUT", "COLUMN", {}}}, 1, {}, ""},
        {"ethernet count 99999", {{"ZNR NUM ETHERNET", "ZNRs", "99999"}}, 2, {}, ""},
        {"serial count -40000", {{"ZNR NUM SERIAL", "ZNRs", "-40000"}}, 3, {}, ""},
        {"days 32768", {{"ARCHIVE RAW FILE", "DAYS", "32768"}}, 6, {}, ""},
        {"raw data temp -1", {{"RAW DATA TEMP", "NUMBER", "-1"}}, 9, {}, ""},
        {"raw data temp 40000", {{"RAW DATA TEMP", "NUMBER", "40000"}}, 9, {}, ""},
        {"first DTR empty", {{"ZNR-SER1", "DTR", ""}}, 12, {}, mismatch},
        {"second HandShaking missing",
         {{"ZNR-SER2", "HandShaking", {}}},
         12,
         {SerialCalls[0]},
         mismatch},
        {"second RTS maybe", {{"ZNR-SER2", "RTS", "maybe"}}, 12, {SerialCalls[0]}, mismatch},
        {"handshaking 70000", {{"ZNR-SER1", "HandShaking", "70000"}}, 12, {}, overflow},
        {"first port 70000",
         {{"DEFAULT", "MODE", "ETHERNET"}, {"ZNR-ENT1", "Port", "70000"}},
         12,
         {},
         overflow},
        {"second port -1",
         {{"DEFAULT", "MODE", "ETHERNET"}, {"ZNR-ENT2", "Port", "-1"}},
         12,
         {EthernetCalls[0]},
         overflow},
        // A count that is no number is 0, a missing RAW DATA TEMP number too; the load goes on.
        {"ethernet count abc", {{"ZNR NUM ETHERNET", "ZNRs", "abc"}}, 2, SerialCalls, ""},
        {"raw data temp missing", {{"RAW DATA TEMP", "NUMBER", {}}}, 9, SerialCalls, ""},
        // A stored password that cannot be unscrambled becomes empty, silently at that step.
        {"admin password unshiftable", {{"ADMIN", "PASSWORD", "ab\xf6"}}, 7, SerialCalls, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        load(c.edits);
        EXPECT_EQ(stepsDone(), c.stepsDone);
        EXPECT_EQ(opener.calls, c.calls);
        EXPECT_EQ(s.SerialPortDevices.size(), 2u); // read first, whatever stops the load
        if (*c.logged) {
            EXPECT_EQ(logText().count("\r\n"), 1);
            EXPECT_TRUE(logText().startsWith(c.logged)) << logText().constData();
        } else {
            EXPECT_TRUE(test::listFiles(logFolder).isEmpty());
        }
    }
}

} // namespace
} // namespace znr
