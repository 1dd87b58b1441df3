#include "config/LoadConstants.h"

#include "config/AppSettings.h"
#include "config/ConnectionOpener.h"
#include "core/ErrorLog.h"
#include "support/FakeClock.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

#include <QFile>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace znr {
namespace {

using Calls = std::vector<std::string>;

// Records every instrument handed over, with the scratch fields as they stood at the call.
class RecordingOpener final : public ConnectionOpener {
public:
    explicit RecordingOpener(const AppSettings& s) : s_(s) {}
    void CreateEthernetConnection(const QByteArray& ip, quint16 port) override {
        calls.push_back("ENT " + ip.toStdString() + ":" + std::to_string(port));
    }
    void CreateSerialConnection(const QByteArray& commPort, const QByteArray& settings) override {
        calls.push_back("SER " + commPort.toStdString() + " " + settings.toStdString() + " hs" +
                        std::to_string(s_.CurrentHandShaking) + (s_.CurrentDTR ? " dtr" : "") +
                        (s_.CurrentRTS ? " rts" : ""));
    }
    Calls calls;

private:
    const AppSettings& s_;
};

struct Key {
    std::string section, key;
    std::optional<std::string> value; // nothing: the key is left out of the file
};

// A complete file as installed, with two instruments of each kind and a third one beyond the
// counts. Passwords "admin" and "disc" are stored scrambled.
std::vector<Key> completeFile(const std::string& logFolder) {
    return {
        {"DEFAULT", "MODE", "SERIAL"},
        {"DATA LAYOUT", "COLUMN", "True"},
        {"ZNR NUM ETHERNET", "ZNRs", " 2"},
        {"ZNR NUM SERIAL", "ZNRs", " 2"},
        {"CHECK RODS", "ID", "ROD7"},
        {"ARCHIVE RAW FILE", "SAVE", "YES"},
        {"ARCHIVE RAW FILE", "DAYS", " 30"},
        {"ADMIN", "PASSWORD", "WZc_d"},
        {"DISCONNECT", "PASSWORD", "Z_iY"},
        {"RAW DATA TEMP", "NUMBER", "100"},
        {"LICENSE", "COMPANY", "Acme Mills"},
        {"FILES", "Data", "/d/"},
        {"FILES", "Error", logFolder},
        {"FILES", "CalCheck", "/c/"},
        {"FILES", "CheckRods", "/r/"},
        {"FILES", "FastMode", "/f/"},
        {"FILES", "RawFile", "/w/"},
        {"ZNR-ENT1", "IP", "10.0.0.5"},
        {"ZNR-ENT1", "Port", "4001"},
        {"ZNR-ENT2", "IP", "host2"},
        {"ZNR-ENT2", "Port", "50000"},
        {"ZNR-ENT3", "IP", "beyond.count"},
        {"ZNR-ENT3", "Port", "1"},
        {"ZNR-SER1", "CommPort", "1"},
        {"ZNR-SER1", "Settings", "9600,n,8,1"},
        {"ZNR-SER1", "HandShaking", "0"},
        {"ZNR-SER1", "DTR", "True"},
        {"ZNR-SER1", "RTS", "False"},
        {"ZNR-SER2", "CommPort", "12"},
        {"ZNR-SER2", "Settings", "19200,e,7,2"},
        {"ZNR-SER2", "HandShaking", "2"},
        {"ZNR-SER2", "DTR", "0"},
        {"ZNR-SER2", "RTS", "1"},
        {"ZNR-SER3", "CommPort", "3"},
        {"ZNR-SER3", "Settings", "9600,n,8,1"},
        {"ZNR-SER3", "HandShaking", "0"},
        {"ZNR-SER3", "DTR", "True"},
        {"ZNR-SER3", "RTS", "True"},
        {"SERIAL PORTS", "COM1", "/dev/pts/7"},
        {"SERIAL PORTS", "COM20", "/dev/ttyUSB0"},
        {"SERIAL PORTS", "COM0", "/dev/zero-is-no-port"},
        {"SERIAL PORTS", "COMX", "/dev/nothing"},
    };
}

const Calls SerialCalls = {"SER 1 9600,n,8,1 hs0 dtr", "SER 12 19200,e,7,2 hs2 rts"};
const Calls EthernetCalls = {"ENT 10.0.0.5:4001", "ENT host2:50000"};

struct LoadConstantsTest : ::testing::Test {
    test::TempDir dir;
    AppSettings s;
    test::FakeClock clock;
    ErrorLog log{s.ErrorLogFolder, clock};
    RecordingOpener opener{s};
    QByteArray logFolder = dir.sub("log");
    std::vector<Key> keys = completeFile(logFolder.toStdString());

    void SetUp() override { s.IniFilePath = QFile::decodeName(dir.path("ZNRExtractor.ini")); }

    void edit(const Key& change) {
        for (Key& k : keys)
            if (k.section == change.section && k.key == change.key)
                k.value = change.value;
    }

    void load() {
        std::string text;
        std::string section;
        for (const Key& k : keys) {
            if (k.section != section)
                text += "[" + (section = k.section) + "]\r\n";
            if (k.value)
                text += k.key + "=" + *k.value + "\r\n";
        }
        test::writeBytes(QFile::encodeName(s.IniFilePath), QByteArray::fromStdString(text));
        LoadConstants(s, opener, log);
    }

    QByteArray logText() const { return test::readBytes(logFolder + "ZNRError.log"); }

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
            s.DataFolder == "/d/" && s.ErrorLogFolder == logFolder && s.RawFileFolder == "/w/",
        };
        int n = 0;
        while (n < 12 && done[n])
            ++n;
        return n;
    }
};

TEST_F(LoadConstantsTest, CompleteSerialFileFillsEverySettingAndOpensTheCountedPorts) {
    load();
    EXPECT_EQ(stepsDone(), 12);
    EXPECT_EQ(s.CheckRodID, "ROD7");
    EXPECT_EQ(s.CalCheckFolder, "/c/");
    EXPECT_EQ(s.CheckRodsFolder, "/r/");
    EXPECT_EQ(s.FastModeFolder, "/f/");
    EXPECT_EQ(opener.calls, SerialCalls); // ZNR-SER3 lies beyond the count; no Ethernet at all
    const std::map<int, QByteArray> devices{{1, "/dev/pts/7"}, {20, "/dev/ttyUSB0"}};
    EXPECT_EQ(s.SerialPortDevices, devices);
    EXPECT_TRUE(logText().isEmpty());
}

TEST_F(LoadConstantsTest, EthernetRunOpensOnlyTheCountedEthernetSections) {
    edit({"DEFAULT", "MODE", "ETHERNET"});
    load();
    EXPECT_EQ(stepsDone(), 12);
    EXPECT_EQ(opener.calls, EthernetCalls); // port 50000 opens, ZNR-ENT3 does not
    EXPECT_EQ(s.CurrentIP, "host2");
    EXPECT_EQ(s.CurrentPort, 50000);
}

TEST_F(LoadConstantsTest, OnlyUpperCaseEthernetSelectsEthernet) {
    edit({"DEFAULT", "MODE", "ethernet"});
    load();
    EXPECT_EQ(opener.calls, SerialCalls);
}

TEST_F(LoadConstantsTest, MissingFileEndsAtTheFirstConversionWithNothingSet) {
    LoadConstants(s, opener, log);
    EXPECT_EQ(s.DefaultStartup, "");
    EXPECT_FALSE(s.DataLayoutColumn);
    EXPECT_EQ(s.ErrorLogFolder, "");
    EXPECT_TRUE(opener.calls.empty());
    EXPECT_TRUE(test::listFiles(logFolder).isEmpty());
}

TEST_F(LoadConstantsTest, NonNumericCountOpensNothingButTheLoadGoesOn) {
    edit({"DEFAULT", "MODE", "ETHERNET"});
    edit({"ZNR NUM ETHERNET", "ZNRs", "abc"});
    load();
    EXPECT_EQ(s.EthernetCount, 0);
    EXPECT_EQ(s.CompanyName, "Acme Mills");
    EXPECT_EQ(s.RawFileFolder, "/w/");
    EXPECT_TRUE(opener.calls.empty());
    EXPECT_TRUE(logText().isEmpty());
}

TEST_F(LoadConstantsTest, MissingRawDataTempNumberIsZero) {
    edit({"RAW DATA TEMP", "NUMBER", std::nullopt});
    load();
    EXPECT_EQ(s.RawDataTempNumber, 0);
    EXPECT_EQ(opener.calls, SerialCalls);
}

TEST_F(LoadConstantsTest, UnscramblableStoredPasswordBecomesEmptyAndTheLoadGoesOn) {
    edit({"ADMIN", "PASSWORD", "ab\xf6"});
    load();
    EXPECT_EQ(s.AdminPassword, "");
    EXPECT_EQ(s.DisconnectPassword, "disc");
    EXPECT_EQ(opener.calls, SerialCalls);
    EXPECT_TRUE(logText().isEmpty()); // the error folder was not known yet
}

TEST_F(LoadConstantsTest, SerialPortNamesAreReadEvenWhenTheLoadStopsEarly) {
    edit({"DATA LAYOUT", "COLUMN", std::nullopt});
    load();
    EXPECT_EQ(stepsDone(), 1);
    EXPECT_EQ(s.SerialPortDevices.size(), 2u);
}

struct StopCase {
    const char* name;
    std::vector<Key> edits;
    int stepsDone;      // of the steps 1..12
    Calls calls;        // instruments opened before the stop
    const char* logged; // the one line's start, or "" when nothing can be logged yet
};

TEST_F(LoadConstantsTest, BadValueEndsTheLoadAtItsStep) {
    const StopCase cases[] = {
        {"column maybe", {{"DATA LAYOUT", "COLUMN", "maybe"}}, 1, {}, ""},
        {"column empty", {{"DATA LAYOUT", "COLUMN", ""}}, 1, {}, ""},
        {"ethernet count 99999", {{"ZNR NUM ETHERNET", "ZNRs", "99999"}}, 2, {}, ""},
        {"serial count -40000", {{"ZNR NUM SERIAL", "ZNRs", "-40000"}}, 3, {}, ""},
        {"days 32768", {{"ARCHIVE RAW FILE", "DAYS", "32768"}}, 6, {}, ""},
        {"negative raw data temp number", {{"RAW DATA TEMP", "NUMBER", "-1"}}, 9, {}, ""},
        {"raw data temp number 40000", {{"RAW DATA TEMP", "NUMBER", "40000"}}, 9, {}, ""},
        {"first DTR empty",
         {{"ZNR-SER1", "DTR", ""}},
         12,
         {},
         "LoadConstants, 13, Type mismatch, "},
        {"second HandShaking missing",
         {{"ZNR-SER2", "HandShaking", std::nullopt}},
         12,
         {SerialCalls[0]},
         "LoadConstants, 13, Type mismatch, "},
        {"second RTS maybe",
         {{"ZNR-SER2", "RTS", "maybe"}},
         12,
         {SerialCalls[0]},
         "LoadConstants, 13, Type mismatch, "},
        {"handshaking overflow",
         {{"ZNR-SER1", "HandShaking", "70000"}},
         12,
         {},
         "LoadConstants, 6, Overflow, "},
        {"first port 70000",
         {{"DEFAULT", "MODE", "ETHERNET"}, {"ZNR-ENT1", "Port", "70000"}},
         12,
         {},
         "LoadConstants, 6, Overflow, "},
        {"second port negative",
         {{"DEFAULT", "MODE", "ETHERNET"}, {"ZNR-ENT2", "Port", "-1"}},
         12,
         {EthernetCalls[0]},
         "LoadConstants, 6, Overflow, "},
    };
    for (const StopCase& c : cases) {
        SCOPED_TRACE(c.name);
        AppSettings fresh;
        fresh.IniFilePath = s.IniFilePath;
        s = fresh;
        opener.calls.clear();
        keys = completeFile(logFolder.toStdString());
        QFile::remove(QFile::decodeName(logFolder + "ZNRError.log"));
        for (const Key& e : c.edits)
            edit(e);

        load();

        EXPECT_EQ(stepsDone(), c.stepsDone);
        EXPECT_EQ(opener.calls, c.calls);
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
