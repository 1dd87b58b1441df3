#include "integration/program/ProgramRun.h"

#include "support/FileBytes.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QTest>
#include <csignal>
#include <stdexcept>
#include <sys/prctl.h>

namespace znr::test {

namespace {

const char* const kFolders[] = {"Data Files", "Cal Check", "Check Rods",
                                "Fast Mode",  "Error Log", "Raw Files"};

QByteArray number(qsizetype n) {
    return QByteArray::number(n);
}

class IniText {
public:
    IniText& section(const QByteArray& name) { return line("[" + name + "]"); }
    IniText& key(const QByteArray& name, const QByteArray& value) {
        return line(name + "=" + value);
    }
    QByteArray text() const { return text_; }

private:
    IniText& line(const QByteArray& l) {
        text_ += l + "\r\n";
        return *this;
    }
    QByteArray text_;
};

void instruments(IniText& ini, const ProgramConfig& c) {
    for (qsizetype n = 0; n < c.ethernetInstruments.size(); ++n)
        ini.section("ZNR-ENT" + number(n + 1))
            .key("IP", c.ethernetInstruments[n].host)
            .key("Port", number(c.ethernetInstruments[n].port));
    for (qsizetype n = 0; n < c.serialInstruments.size(); ++n)
        ini.section("ZNR-SER" + number(n + 1))
            .key("CommPort", c.serialInstruments[n].commPort)
            .key("Settings", c.serialInstruments[n].settings)
            .key("HandShaking", "0")
            .key("DTR", "False")
            .key("RTS", "False");
    if (c.serialPorts.isEmpty())
        return;
    ini.section("SERIAL PORTS");
    for (auto it = c.serialPorts.cbegin(); it != c.serialPorts.cend(); ++it)
        ini.key("COM" + number(it.key()), it.value());
}

} // namespace

QByteArray scrambled(const QByteArray& plain) {
    QByteArray out = plain;
    for (char& c : out)
        c = char(static_cast<unsigned char>(c) - 10);
    return out;
}

QByteArrayList crlfLines(const QByteArray& text) {
    QByteArrayList lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray& l : lines)
        if (l.endsWith('\r'))
            l.chop(1);
    return lines;
}

ProgramRun::ProgramRun() {
    const QString copy = QFile::decodeName(dir_.path("znr-extractor"));
    if (!QFile::copy(QStringLiteral(ZNR_BIN_DIR "/znr-extractor"), copy))
        throw std::runtime_error("cannot copy " ZNR_BIN_DIR "/znr-extractor");
    for (const char* f : kFolders)
        dir_.sub(f);
}

ProgramRun::~ProgramRun() {
    stop();
}

QByteArray iniText(const ProgramConfig& c, const QByteArray& folder) {
    IniText ini;
    ini.section("DEFAULT").key("MODE", c.ethernet ? "ETHERNET" : "SERIAL");
    ini.section("DATA LAYOUT").key("COLUMN", c.column ? "True" : "False");
    ini.section("ZNR NUM ETHERNET").key("ZNRs", " " + number(c.ethernetInstruments.size()));
    ini.section("ZNR NUM SERIAL").key("ZNRs", " " + number(c.serialInstruments.size()));
    ini.section("CHECK RODS").key("ID", c.checkRodsId);
    ini.section("ARCHIVE RAW FILE").key("SAVE", c.archive ? "YES" : "NO").key("DAYS", " 30");
    ini.section("ADMIN").key("PASSWORD", scrambled(c.adminPassword));
    ini.section("DISCONNECT").key("PASSWORD", scrambled(c.disconnectPassword));
    ini.section("RAW DATA TEMP").key("NUMBER", "100");
    ini.section("LICENSE").key("COMPANY", "Integration Test");
    ini.section("FILES")
        .key("Data", folder + "Data Files/")
        .key("Error", folder + "Error Log/")
        .key("CalCheck", folder + "Cal Check/")
        .key("CheckRods", folder + "Check Rods/")
        .key("FastMode", folder + "Fast Mode/")
        .key("RawFile", folder + "Raw Files/");
    instruments(ini, c);
    return ini.text();
}

void ProgramRun::writeIni(const ProgramConfig& c) {
    writeBytes(iniPath(), iniText(c, dir_.folder()));
}

bool ProgramRun::start(const QStringList& arguments) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    // A test run that dies without unwinding takes the program with it.
    process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process_.start(QFile::decodeName(dir_.path("znr-extractor")), arguments);
    return process_.waitForStarted(10000);
}

void ProgramRun::stop() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

QByteArray ProgramRun::output() {
    output_ += process_.readAll();
    return output_;
}

QByteArrayList ProgramRun::logLines() const {
    return crlfLines(readBytes(errorLogFolder() + "ZNRError.log"));
}

bool ProgramRun::waitForLogLines(int count, int timeoutMs) const {
    return QTest::qWaitFor([&] { return logLines().size() >= count; }, timeoutMs);
}

} // namespace znr::test
