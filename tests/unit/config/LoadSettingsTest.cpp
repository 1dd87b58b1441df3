#include "config/LoadSettings.h"

#include "config/ConnectionOpener.h"
#include "unit/config/ConfigFixture.h"

namespace znr {
namespace {

// Records every instrument handed over, with every field of its section.
class RecordingOpener final : public ConnectionOpener {
public:
    void openEthernet(const EthernetInstrument& i) override {
        calls.append("ENT " + i.ip + ':' + QByteArray::number(i.port));
    }
    void openSerial(const SerialInstrument& i) override {
        calls.append("SER " + i.commPort + ' ' + i.settings + " hs" +
                     QByteArray::number(i.handShaking) + (i.dtr ? " dtr" : "") +
                     (i.rts ? " rts" : ""));
    }
    QByteArrayList calls;
};

const QByteArrayList SerialCalls = {"SER 1 9600,n,8,1 hs0 dtr", "SER 12 19200,e,7,2 hs2 rts"};
const QByteArrayList EthernetCalls = {"ENT 10.0.0.5:4001", "ENT host2:50000"};
const std::map<int, QByteArray> Devices{{1, "/dev/pts/7"}, {20, "/dev/ttyUSB0"}};

struct LoadSettingsTest : test::ConfigFixture {
    RecordingOpener opener;
    QByteArray logFolder = dir.sub("log");

    // Loads the complete file with keys changed ("SECTION/key=value", or "SECTION/key" to leave
    // the key out, ";" between) into fresh settings.
    void load(const QByteArray& changes = {}) {
        QByteArrayList lines = test::testData("config/load-complete.ini").split('\n');
        QByteArray section;
        for (QByteArray& line : lines) {
            if (line.startsWith('['))
                section = line.mid(1, line.indexOf(']') - 1);
            for (const QByteArray& change : changes.split(';')) {
                const QByteArray key = change.mid(section.size() + 1).split('=').first();
                if (change.startsWith(section + '/') && line.startsWith(key + '='))
                    line = change.contains('=') ? change.mid(section.size() + 1) + '\r' : "";
            }
        }
        test::writeBytes(iniPath,
                         lines.join('\n').replace("\n\n", "\n").replace("@LOG@", logFolder));
        s = AppSettings{};
        s.iniFilePath = QFile::decodeName(iniPath);
        opener.calls.clear();
        QFile::remove(QFile::decodeName(logFolder + "ZNRError.log"));
        loadSettings(s, opener, log);
    }

    // How many of the steps 1..12 left their field as the complete file has it.
    int stepsDone() const {
        const bool done[] = {
            !s.defaultStartup.isEmpty(),
            s.dataLayoutColumn,
            s.ethernetCount == 2,
            s.serialCount == 2,
            s.checkRodId == "ROD7",
            s.archiveRawFile == "YES",
            s.archiveDays == 30,
            s.adminPassword == "admin",
            s.disconnectPassword == "disc",
            s.rawDataTempNumber == 100,
            s.companyName == "Acme Mills",
            s.dataFolder == "/d/" && s.errorLogFolder == logFolder && s.calCheckFolder == "/c/" &&
                s.checkRodsFolder == "/r/" && s.fastModeFolder == "/f/" && s.rawFileFolder == "/w/",
        };
        int n = 0;
        while (n < 12 && done[n])
            ++n;
        return n;
    }
};

TEST_F(LoadSettingsTest, EachStepTakesItsValueAndABadOneEndsTheLoad) {
    for (const QByteArrayList& c : test::caseTable("config/load-stops.txt")) {
        SCOPED_TRACE(c[0].toStdString());
        load(c[0]);
        EXPECT_EQ(stepsDone(), c[1].toInt());
        EXPECT_EQ(opener.calls,
                  (s.isEthernetRun() ? EthernetCalls : SerialCalls).first(c[2].toInt()));
        // Read first, whatever stops the load.
        EXPECT_EQ(s.serialPortDevices, Devices);
        EXPECT_EQ(s.reconnectSeconds, c.size() > 4 ? c[4].toInt() : 7);
        if (!c[3].isEmpty()) {
            EXPECT_EQ(logText().count("\r\n"), 1);
            EXPECT_TRUE(logText().startsWith(c[3])) << logText().constData();
        } else {
            EXPECT_TRUE(test::listFiles(logFolder).isEmpty());
        }
    }
}

} // namespace
} // namespace znr
