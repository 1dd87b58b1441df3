#include "HeadlessProgram.h"

#include "support/FileBytes.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <csignal>
#include <stdexcept>

namespace znr::test {

namespace {

const char* const Folders[] = {"Data Files", "Cal Check", "Check Rods",
                               "Fast Mode",  "Error Log", "Raw Files"};

QByteArray iniText(const ProgramSetup& s, const QByteArray& dir) {
    QByteArrayList lines{"[DEFAULT]",
                         "MODE=" + s.mode,
                         "[DATA LAYOUT]",
                         "COLUMN=True",
                         "[ZNR NUM ETHERNET]",
                         "ZNRs= " + QByteArray::number(s.tcpPorts.size()),
                         "[ZNR NUM SERIAL]",
                         "ZNRs= " + QByteArray::number(s.serialLinks.size()),
                         "[CHECK RODS]",
                         "ID=ROD",
                         "[ARCHIVE RAW FILE]",
                         "SAVE=" + s.archiveRawFile,
                         "DAYS= 30",
                         "[ADMIN]",
                         "PASSWORD=WZc_d", // "admin", every byte less 10
                         "[DISCONNECT]",
                         "PASSWORD=Z_iYedd[Yj", // "disconnect"
                         "[RAW DATA TEMP]",
                         "NUMBER=100",
                         "[LICENSE]",
                         "COMPANY=Test Bench",
                         "[FILES]",
                         "Data=" + dir + "Data Files/",
                         "Error=" + dir + "Error Log/",
                         "CalCheck=" + dir + "Cal Check/",
                         "CheckRods=" + dir + "Check Rods/",
                         "FastMode=" + dir + "Fast Mode/",
                         "RawFile=" + dir + "Raw Files/"};
    if (s.reconnectSeconds)
        lines << "[RECONNECT]"
              << "SECONDS=" + *s.reconnectSeconds;
    for (qsizetype n = 1; n <= s.tcpPorts.size(); ++n)
        lines << "[ZNR-ENT" + QByteArray::number(n) + ']' << "IP=127.0.0.1"
              << "Port=" + QByteArray::number(s.tcpPorts[n - 1]);
    if (!s.serialLinks.isEmpty()) {
        lines << "[SERIAL PORTS]";
        for (qsizetype n = 1; n <= s.serialLinks.size(); ++n)
            lines << "COM" + QByteArray::number(n + 2) + '=' + s.serialLinks[n - 1];
    }
    for (qsizetype n = 1; n <= s.serialLinks.size(); ++n)
        lines << "[ZNR-SER" + QByteArray::number(n) + ']' << "CommPort=" + QByteArray::number(n + 2)
              << "Settings=9600,n,8,1"
              << "HandShaking=0"
              << "DTR=False"
              << "RTS=False";
    return lines.join("\r\n") + "\r\n";
}

} // namespace

HeadlessProgram::HeadlessProgram(const ProgramSetup& setup) {
    for (const char* f : Folders)
        dir_.sub(f);
    const QString program = QFile::decodeName(dir_.path("znr-extractor"));
    if (!QFile::copy(QStringLiteral(ZNR_BIN_DIR "/znr-extractor"), program))
        throw std::runtime_error("cannot copy znr-extractor");
    writeBytes(dir_.path("ZNRExtractor.ini"), iniText(setup, dir_.folder()));
    process_.setProgram(program);
    process_.setArguments({QStringLiteral("--headless")});
    process_.setWorkingDirectory(QFile::decodeName(dir_.folder()));
    // An ignored SIGPIPE would be inherited; the program must cope with the default.
    process_.setChildProcessModifier([] { std::signal(SIGPIPE, SIG_DFL); });
}

HeadlessProgram::~HeadlessProgram() {
    if (running()) {
        process_.kill();
        process_.waitForFinished(10000);
    }
}

bool HeadlessProgram::stopSignalsBlocked() const {
    const QByteArray status =
        readBytes("/proc/" + QByteArray::number(process_.processId()) + "/status");
    const qsizetype at = status.indexOf("SigBlk:");
    if (at < 0)
        return false;
    bool ok = false;
    const qulonglong mask =
        status.mid(at + 7, status.indexOf('\n', at) - at - 7).trimmed().toULongLong(&ok, 16);
    const qulonglong term = 1ULL << (SIGTERM - 1);
    return ok && (mask & term) != 0;
}

bool HeadlessProgram::start() {
    process_.start();
    if (!process_.waitForStarted(10000))
        return false;
    return QTest::qWaitFor([&] { return stopSignalsBlocked() || !running(); }, 10000) && running();
}

bool HeadlessProgram::waitForExit(int timeoutMs) {
    return QTest::qWaitFor([&] { return !running(); }, timeoutMs) &&
           process_.exitStatus() == QProcess::NormalExit;
}

bool HeadlessProgram::stop(int timeoutMs) {
    process_.terminate();
    return waitForExit(timeoutMs);
}

QByteArrayList HeadlessProgram::announcements() {
    if (process_.isReadable())
        out_ += process_.readAllStandardOutput();
    QByteArrayList lines = out_.split('\n');
    lines.removeLast(); // the unfinished rest, or empty
    return lines;
}

bool HeadlessProgram::waitForAnnouncements(int count, int timeoutMs) {
    return QTest::qWaitFor([&] { return announcements().size() >= count; }, timeoutMs);
}

QByteArrayList HeadlessProgram::logLines() const {
    QByteArrayList lines = readBytes(folder("Error Log") + "ZNRError.log").split('\n');
    lines.removeAll(QByteArray());
    for (QByteArray& line : lines)
        line = line.trimmed();
    return lines;
}

int HeadlessProgram::logLinesContaining(const QByteArray& text) const {
    int n = 0;
    for (const QByteArray& line : logLines())
        n += line.contains(text) ? 1 : 0;
    return n;
}

bool HeadlessProgram::waitForLogLines(const QByteArray& text, int count, int timeoutMs) {
    return QTest::qWaitFor([&] { return logLinesContaining(text) >= count; }, timeoutMs);
}

TcpInstrument::TcpInstrument() {
    if (!server_.listen(QHostAddress::LocalHost, 0))
        throw std::runtime_error("cannot listen");
    port_ = server_.serverPort();
}

QTcpSocket* TcpInstrument::waitForClient(int timeoutMs) {
    (void)QTest::qWaitFor([&] { return server_.hasPendingConnections(); }, timeoutMs);
    return server_.nextPendingConnection(); // owned by the server
}

bool TcpInstrument::greeted(QTcpSocket& client, int timeoutMs) {
    (void)QTest::qWaitFor([&] { return client.bytesAvailable() >= 2; }, timeoutMs);
    return client.read(2) == QByteArray("\x06\x38", 2);
}

void TcpInstrument::goAway(QTcpSocket& client) {
    server_.close();
    client.close();
}

bool TcpInstrument::listenAgain() {
    return server_.listen(QHostAddress::LocalHost, port_);
}

} // namespace znr::test
