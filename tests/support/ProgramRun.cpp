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

} // namespace

QByteArray iniText(const ProgramConfig& c, const QByteArray& folder) {
    QByteArrayList l{
        "[DEFAULT]",          QByteArray("MODE=") + (c.ethernet ? "ETHERNET" : "SERIAL"),
        "[DATA LAYOUT]",      QByteArray("COLUMN=") + (c.column ? "True" : "False"),
        "[ZNR NUM ETHERNET]", "ZNRs= " + number(c.ethernetInstruments.size()),
        "[ZNR NUM SERIAL]",   "ZNRs= " + number(c.serialInstruments.size()),
        "[CHECK RODS]",       "ID=" + c.checkRodsId,
        "[ARCHIVE RAW FILE]", QByteArray("SAVE=") + (c.archive ? "YES" : "NO"),
        "DAYS= 30",           "[ADMIN]",
        "PASSWORD=WZc_d",                            // "admin", every byte less 10
        "[DISCONNECT]",       "PASSWORD=Z_iYedd[Yj", // "disconnect"
        "[RAW DATA TEMP]",    "NUMBER=" + number(c.rawSlots),
        "[LICENSE]",          "COMPANY=" + c.company};
    if (c.reconnectSeconds)
        l << "[RECONNECT]"
          << "SECONDS=" + *c.reconnectSeconds;
    l << "[FILES]"
      << "Data=" + folder + "Data Files/"
      << "Error=" + folder + "Error Log/"
      << "CalCheck=" + folder + "Cal Check/"
      << "CheckRods=" + folder + "Check Rods/"
      << "FastMode=" + folder + "Fast Mode/"
      << "RawFile=" + folder + "Raw Files/";
    for (qsizetype n = 0; n < c.ethernetInstruments.size(); ++n)
        l << "[ZNR-ENT" + number(n + 1) + "]"
          << "IP=" + c.ethernetInstruments[n].host
          << "Port=" + number(c.ethernetInstruments[n].port);
    for (qsizetype n = 0; n < c.serialInstruments.size(); ++n)
        l << "[ZNR-SER" + number(n + 1) + "]"
          << "CommPort=" + c.serialInstruments[n].commPort
          << "Settings=" + c.serialInstruments[n].settings << "HandShaking=0"
          << "DTR=False"
          << "RTS=False";
    if (!c.serialPorts.isEmpty())
        l << "[SERIAL PORTS]";
    for (auto it = c.serialPorts.cbegin(); it != c.serialPorts.cend(); ++it)
        l << "COM" + number(it.key()) + "=" + it.value();
    return l.join("\r\n") + "\r\n";
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

ProgramRun::ProgramRun(const QByteArray& folder) : folder_(folder) {
    if (folder.isEmpty() && !temporary_.emplace().isValid())
        throw std::runtime_error("cannot create a temporary folder");
    if (folder.isEmpty())
        folder_ = QFile::encodeName(temporary_->path());
    if (!folder_.endsWith('/'))
        folder_ += '/';
    if (!prepareProgramFolder(folder_, ProgramConfig{}))
        throw std::runtime_error("cannot prepare the program's folder");
}

ProgramRun::~ProgramRun() {
    if (running()) {
        process_.kill();
        process_.waitForFinished(10000);
    }
}

bool ProgramRun::stopSignalsBlocked() const {
    const QByteArray status = readBytes("/proc/" + number(process_.processId()) + "/status");
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
    // A run that dies without unwinding takes the program with it.
    process_.setChildProcessModifier([] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        std::signal(SIGPIPE, SIG_DFL);
    });
    process_.start(QFile::decodeName(path("znr-extractor")), arguments);
    if (!process_.waitForStarted(10000) || !arguments.contains(QStringLiteral("--headless")))
        return running();
    return QTest::qWaitFor([&] { return stopSignalsBlocked() || !running(); }, 10000) && running();
}

bool ProgramRun::stop(int timeoutMs) {
    process_.terminate();
    return QTest::qWaitFor([&] { return !running(); }, timeoutMs) &&
           process_.exitStatus() == QProcess::NormalExit;
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

QByteArrayList ProgramRun::logLines() const {
    return crlfLines(readBytes(errorLogFolder() + "ZNRError.log"));
}

bool ProgramRun::waitForLogLines(int count, int timeoutMs, const QByteArray& text) const {
    return QTest::qWaitFor(
        [&] {
            const QByteArrayList lines = logLines();
            return std::count_if(lines.begin(), lines.end(),
                                 [&](const QByteArray& l) { return l.contains(text); }) >= count;
        },
        timeoutMs);
}

qint64 ProgramRun::statusKiB(const char* key) const {
    const QByteArray status = readBytes("/proc/" + number(process_.processId()) + "/status");
    for (const QByteArray& line : status.split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(qstrlen(key))).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

} // namespace znr::test
