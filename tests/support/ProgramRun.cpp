#include "support/ProgramRun.h"

#include "support/FileBytes.h"
#include "support/Frames.h"

#include <QDir>
#include <QFile>
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
    ini.section("RAW DATA TEMP").key("NUMBER", number(c.rawSlots));
    ini.section("LICENSE").key("COMPANY", c.company);
    if (c.reconnectSeconds)
        ini.section("RECONNECT").key("SECONDS", *c.reconnectSeconds);
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

bool prepareProgramFolder(const QByteArray& folder, const ProgramConfig& config,
                          const QByteArray& binary) {
    const QString copy = QFile::decodeName(folder + "znr-extractor");
    if (!QDir().mkpath(QFile::decodeName(folder)) ||
        (!QFile::exists(copy) && !QFile::copy(QFile::decodeName(binary), copy)))
        return false;
    for (const char* f : kFolders)
        QDir().mkpath(QFile::decodeName(folder + f));
    QFile ini(QFile::decodeName(folder + "ZNRExtractor.ini"));
    const QByteArray text = iniText(config, folder);
    return ini.open(QIODevice::WriteOnly | QIODevice::Truncate) && ini.write(text) == text.size();
}

qint64 statusKiB(qint64 pid, const char* key) {
    for (const QByteArray& line : readBytes("/proc/" + number(pid) + "/status").split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(qstrlen(key))).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

ProgramRun::ProgramRun(const QByteArray& folder) {
    if (folder.isEmpty()) {
        temporary_.emplace();
        if (!temporary_->isValid())
            throw std::runtime_error("cannot create a temporary folder");
        folder_ = QFile::encodeName(temporary_->path()) + '/';
    } else {
        folder_ = folder.endsWith('/') ? folder : folder + '/';
    }
    if (!prepareProgramFolder(folder_, ProgramConfig{}))
        throw std::runtime_error("cannot prepare the program's folder");
}

ProgramRun::~ProgramRun() {
    if (running()) {
        process_.kill();
        process_.waitForFinished(10000);
    }
}

bool ProgramRun::writeIni(const ProgramConfig& c) {
    return prepareProgramFolder(folder_, c);
}

bool ProgramRun::stopSignalsBlocked() const {
    const QByteArray status = readBytes("/proc/" + number(pid()) + "/status");
    const qsizetype at = status.indexOf("SigBlk:");
    bool ok = false;
    const qulonglong mask =
        status.mid(at + 7, status.indexOf('\n', at) - at - 7).trimmed().toULongLong(&ok, 16);
    return at >= 0 && ok && (mask & (1ULL << (SIGTERM - 1))) != 0;
}

bool ProgramRun::start(const QStringList& arguments) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process_.setProcessEnvironment(env);
    process_.setWorkingDirectory(QFile::decodeName(folder_));
    // A test run that dies without unwinding takes the program with it; an ignored SIGPIPE
    // would be inherited, and the program must cope with the default.
    process_.setChildProcessModifier([] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        std::signal(SIGPIPE, SIG_DFL);
    });
    process_.start(QFile::decodeName(path("znr-extractor")), arguments);
    if (!process_.waitForStarted(10000))
        return false;
    if (!arguments.contains(QStringLiteral("--headless")))
        return true;
    return QTest::qWaitFor([&] { return stopSignalsBlocked() || !running(); }, 10000) && running();
}

bool ProgramRun::waitForExit(int timeoutMs) {
    return QTest::qWaitFor([&] { return !running(); }, timeoutMs) &&
           process_.exitStatus() == QProcess::NormalExit;
}

bool ProgramRun::stop(int timeoutMs) {
    process_.terminate();
    return waitForExit(timeoutMs);
}

QByteArray ProgramRun::output() {
    announcements();
    stderr_ += process_.readAllStandardError();
    return stdout_ + stderr_;
}

QByteArrayList ProgramRun::announcements() {
    stdout_ += process_.readAllStandardOutput();
    QByteArrayList lines = stdout_.split('\n');
    lines.removeLast(); // the unfinished rest, or empty
    return lines;
}

bool ProgramRun::waitForAnnouncements(int count, int timeoutMs) {
    return QTest::qWaitFor([&] { return announcements().size() >= count; }, timeoutMs);
}

QByteArrayList ProgramRun::logLines() const {
    return crlfLines(readBytes(errorLogFolder() + "ZNRError.log"));
}

int ProgramRun::logLinesContaining(const QByteArray& text) const {
    int n = 0;
    for (const QByteArray& line : logLines())
        n += line.contains(text) ? 1 : 0;
    return n;
}

bool ProgramRun::waitForLogLines(int count, int timeoutMs, const QByteArray& text) const {
    return QTest::qWaitFor([&] { return logLinesContaining(text) >= count; }, timeoutMs);
}

qint64 ProgramRun::residentKiB() const {
    return statusKiB(pid(), "VmRSS:");
}

qint64 ProgramRun::peakResidentKiB() const {
    return statusKiB(pid(), "VmHWM:");
}

} // namespace znr::test
