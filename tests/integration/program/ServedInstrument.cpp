#include "integration/program/ServedInstrument.h"

#include "integration/program/Instruments.h"
#include "support/FileBytes.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

namespace znr::test {

ServedInstrument::ServedInstrument() {
    server_.listen(QHostAddress::LocalHost, 0);
}

bool ServedInstrument::waitForProgram(int timeoutMs) {
    return QTest::qWaitFor(
        [&] {
            if (!socket_ && server_.hasPendingConnections()) {
                socket_ = server_.nextPendingConnection();
                socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            }
            pull();
            return acks_ >= 1;
        },
        timeoutMs);
}

bool ServedInstrument::connected() const {
    return socket_ && socket_->state() == QAbstractSocket::ConnectedState;
}

void ServedInstrument::pull() {
    if (!socket_)
        return;
    const QByteArray data = tail_ + socket_->readAll();
    tail_.clear();
    qsizetype i = 0;
    for (; i + 1 < data.size(); i += 2) {
        const QByteArray pair = data.mid(i, 2);
        if (pair == QByteArray("\x06\x38", 2))
            ++acks_;
        else if (pair == QByteArray("\x15\x38", 2))
            ++naks_;
        else
            stray_ += 2;
    }
    tail_ = data.mid(i);
}

qint64 ServedInstrument::acks() {
    pull();
    return acks_ - 1;
}

qint64 ServedInstrument::naks() {
    pull();
    return naks_;
}

bool ServedInstrument::send(const QByteArray& bytes, int timeoutMs) {
    if (!connected())
        return false;
    socket_->write(bytes);
    return QTest::qWaitFor(
        [&] {
            pull();
            socket_->flush();
            return socket_->bytesToWrite() == 0;
        },
        timeoutMs);
}

bool ServedInstrument::waitForAcks(qint64 count, int timeoutMs) {
    return QTest::qWaitFor([&] { return acks() >= count; }, timeoutMs);
}

bool ServedInstrument::sendFrames(const QByteArrayList& frames, int timeoutMs) {
    for (const QByteArray& f : frames) {
        const qint64 before = acks();
        if (!send(f, timeoutMs) || !waitForAcks(before + 1, timeoutMs))
            return false;
    }
    return true;
}

QByteArray instrumentFrame(const char* type, const QByteArray& payload) {
    return QByteArray("\x01"
                      "1") +
           type + '\x02' + payload + '\x03' + '\x04';
}

QByteArrayList threeRowBatch(const QByteArray& id, const char* endType) {
    return {instrumentFrame("IST", "RUN MODE,a,b," + id + ",x"),
            instrumentFrame("STB", "X100,W1,D1"),
            instrumentFrame("DAT", "1,0.81,7.8"),
            instrumentFrame("DAT", "2,0.805,7.79"),
            instrumentFrame("DAT", "3,0.812,7.80"),
            instrumentFrame(endType, QByteArray(endType) == "ERR" ? "A2CD,E17" : "0")};
}

QByteArray threeRowFileProblem(const QByteArray& bytes, const QByteArray& id) {
    const QByteArray known = testData("protocol/run_mode_column.dat");
    const qsizetype eol = bytes.indexOf("\r\n");
    const QRegularExpression header(
        QLatin1Char('^') + QRegularExpression::escape(QString::fromLatin1(id.left(4))) +
        QStringLiteral(",100,") + QLatin1String(kLogTime) + QStringLiteral(",3,2$"));
    if (eol < 0 || !header.match(QString::fromLatin1(bytes.left(eol))).hasMatch())
        return "first line: " + bytes.left(eol);
    if (bytes.mid(eol) != known.mid(known.indexOf("\r\n")))
        return "lines after the first differ: " + bytes.mid(eol);
    return {};
}

QByteArrayList filesStartingWith(const QByteArray& folder, const QByteArray& prefix) {
    QByteArrayList found;
    for (const QByteArray& name : listFiles(folder))
        if (name.startsWith(prefix))
            found.append(name);
    return found;
}

namespace {

qint64 statusKiB(qint64 pid, const char* key) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(qstrlen(key))).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

} // namespace

qint64 residentKiB(qint64 pid) {
    return statusKiB(pid, "VmRSS:");
}

qint64 peakResidentKiB(qint64 pid) {
    return statusKiB(pid, "VmHWM:");
}

} // namespace znr::test
