#include "ProgramInstance.h"

#include <QDir>
#include <QFile>
#include <csignal>
#include <sys/prctl.h>

namespace soak {

namespace {

const char* const kFolders[] = {"Data Files", "Cal Check", "Check Rods",
                                "Fast Mode",  "Error Log", "Raw Files"};

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray scrambled(const QByteArray& plain) {
    QByteArray out = plain;
    for (char& c : out)
        c = char(static_cast<unsigned char>(c) - 10);
    return out;
}

qint64 statusKiB(qint64 pid, const char* key) {
    const QByteArray status = readAll(QStringLiteral("/proc/%1/status").arg(pid));
    for (const QByteArray& line : status.split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(qstrlen(key))).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

} // namespace

ProgramInstance::ProgramInstance(QString name, QString folder)
    : name_(std::move(name)), folder_(std::move(folder)) {}

ProgramInstance::~ProgramInstance() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

QByteArray ProgramInstance::folder(const char* sub) const {
    return QFile::encodeName(folder_) + "/" + sub + "/";
}

bool ProgramInstance::prepare(const QString& binary, bool column, const QList<quint16>& tcpPorts,
                              const QList<Serial>& serialPorts, QString* error) {
    column_ = column;
    if (!QDir().mkpath(folder_) || !QFile::copy(binary, path(QStringLiteral("znr-extractor")))) {
        *error = QStringLiteral("cannot copy %1 into %2").arg(binary, folder_);
        return false;
    }
    for (const char* f : kFolders)
        QDir().mkpath(path(QString::fromLatin1(f)));

    QByteArray ini;
    const auto line = [&](const QByteArray& l) { ini += l + "\r\n"; };
    line(serialPorts.isEmpty() ? "[DEFAULT]\r\nMODE=ETHERNET" : "[DEFAULT]\r\nMODE=SERIAL");
    line(QByteArray("[DATA LAYOUT]\r\nCOLUMN=") + (column ? "True" : "False"));
    line("[ZNR NUM ETHERNET]\r\nZNRs= " + QByteArray::number(tcpPorts.size()));
    line("[ZNR NUM SERIAL]\r\nZNRs= " + QByteArray::number(serialPorts.size()));
    line(QByteArray("[CHECK RODS]\r\nID=") + kCheckRodId);
    line("[ARCHIVE RAW FILE]\r\nSAVE=YES\r\nDAYS= 30");
    line("[ADMIN]\r\nPASSWORD=" + scrambled("admin"));
    line("[DISCONNECT]\r\nPASSWORD=" + scrambled("disconnect"));
    line("[RAW DATA TEMP]\r\nNUMBER=100");
    line("[LICENSE]\r\nCOMPANY=Soak");
    line("[RECONNECT]\r\nSECONDS=1");
    line("[FILES]");
    line("Data=" + folder("Data Files"));
    line("Error=" + folder("Error Log"));
    line("CalCheck=" + folder("Cal Check"));
    line("CheckRods=" + folder("Check Rods"));
    line("FastMode=" + folder("Fast Mode"));
    line("RawFile=" + folder("Raw Files"));
    for (qsizetype n = 0; n < tcpPorts.size(); ++n) {
        line("[ZNR-ENT" + QByteArray::number(n + 1) + "]");
        line("IP=127.0.0.1");
        line("Port=" + QByteArray::number(tcpPorts[n]));
    }
    for (qsizetype n = 0; n < serialPorts.size(); ++n) {
        line("[ZNR-SER" + QByteArray::number(n + 1) + "]");
        line("CommPort=" + QByteArray::number(serialPorts[n].comPort));
        line("Settings=9600,n,8,1\r\nHandShaking=0\r\nDTR=False\r\nRTS=False");
    }
    if (!serialPorts.isEmpty()) {
        line("[SERIAL PORTS]");
        for (const Serial& s : serialPorts)
            line("COM" + QByteArray::number(s.comPort) + "=" + QFile::encodeName(s.link));
    }
    QFile f(path(QStringLiteral("ZNRExtractor.ini")));
    if (!f.open(QIODevice::WriteOnly) || f.write(ini) != ini.size()) {
        *error = QStringLiteral("cannot write the INI in %1").arg(folder_);
        return false;
    }
    return true;
}

bool ProgramInstance::start(QString* error) {
    process_.setStandardOutputFile(path(QStringLiteral("announcements.txt")));
    process_.setStandardErrorFile(path(QStringLiteral("stderr.txt")));
    process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process_.start(path(QStringLiteral("znr-extractor")), {QStringLiteral("--headless")});
    if (!process_.waitForStarted(10000)) {
        *error = QStringLiteral("%1: znr-extractor did not start").arg(name_);
        return false;
    }
    return true;
}

bool ProgramInstance::terminate() {
    if (process_.state() != QProcess::Running)
        return false;
    process_.terminate();
    if (!process_.waitForFinished(30000)) {
        process_.kill();
        process_.waitForFinished(5000);
        return false;
    }
    return process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
}

qint64 ProgramInstance::rssKiB() const {
    return statusKiB(pid(), "VmRSS:");
}

qint64 ProgramInstance::peakKiB() const {
    return statusKiB(pid(), "VmHWM:");
}

void ProgramInstance::sample() {
    if (const qint64 rss = rssKiB(); rss > 0)
        samples_.append(rss);
}

QByteArrayList ProgramInstance::logLines() const {
    QByteArrayList lines =
        readAll(QFile::decodeName(folder("Error Log")) + QStringLiteral("ZNRError.log"))
            .split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray& l : lines)
        if (l.endsWith('\r'))
            l.chop(1);
    return lines;
}

int ProgramInstance::announcements() const {
    return int(readAll(path(QStringLiteral("announcements.txt"))).count('\n'));
}

QByteArray ProgramInstance::errorOutput() const {
    return readAll(path(QStringLiteral("stderr.txt")));
}

} // namespace soak
