#include "integration/program/Instruments.h"

#include "integration/program/ProgramRun.h"
#include "support/FileBytes.h"
#include "support/QtPrinters.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

namespace znr::test {

const char* const kLogTime = "\\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d\\d:\\d\\d [AP]M";

QStringList args(std::initializer_list<const char*> list) {
    QStringList out;
    for (const char* a : list)
        out.append(QString::fromLatin1(a));
    return out;
}

Instrument::Instrument(const QByteArray& expectDir, QStringList arguments) : expectDir_(expectDir) {
    arguments << QStringLiteral("--verbose") << QStringLiteral("--expect-dir")
              << QString::fromLatin1(expectDir);
    sim_ = std::make_unique<SimProcess>(arguments);
}

std::unique_ptr<Instrument> Instrument::overTcp(const QByteArray& expectDir, QStringList more) {
    std::unique_ptr<Instrument> i(
        new Instrument(expectDir, args({"--listen", "0"}) + std::move(more)));
    i->port_ = i->sim_->waitForPort();
    i->ready_ = i->port_ != 0;
    return i;
}

std::unique_ptr<Instrument> Instrument::overPty(const QByteArray& link, const QByteArray& expectDir,
                                                QStringList more) {
    std::unique_ptr<Instrument> i(new Instrument(
        expectDir, QStringList{QStringLiteral("--pty"), QString::fromLatin1(link)} + more));
    i->ready_ = QTest::qWaitFor([&] { return i->sim_->out().contains("pty "); }, 10000);
    return i;
}

bool Instrument::finishes(int timeoutMs) {
    return sim_->waitForExit(timeoutMs) && sim_->exitCode() == 0;
}

QByteArray Instrument::expectedFolder(bool column) const {
    return expectDir_ + (column ? "/COLUMN/" : "/ROW/");
}

QByteArrayList Instrument::framesSent() {
    QByteArrayList frames;
    QByteArray frame;
    for (const QByteArray& line : sim_->err().split('\n')) {
        if (!line.startsWith("znr-sim: sent "))
            continue;
        frame += line.mid(int(qstrlen("znr-sim: sent ")));
        if (frame.endsWith("<EOT>")) {
            frames.append(frame);
            frame.clear();
        }
    }
    return frames;
}

QByteArray Instrument::diagnostics() {
    return "exit " + QByteArray::number(sim_->exitCode()) + "\n" + sim_->out() + sim_->err();
}

void expectDataFilesAsExpected(const QByteArray& folder, const QByteArray& expectedFolder,
                               int batches) {
    const QByteArrayList names = listFiles(folder);
    EXPECT_EQ(names.size(), batches) << folder.constData() << ": " << names.join(' ').constData();
    for (const QByteArray& name : names) {
        ASSERT_TRUE(fileExists(expectedFolder + name))
            << name.constData() << " is not among " << listFiles(expectedFolder).join(' ').data();
        EXPECT_EQ(readBytes(folder + name), readBytes(expectedFolder + name)) << name.constData();
    }
}

QByteArray rawTraffic(const QByteArrayList& frames) {
    const QByteArray ack = "<SENT><ACK8>\r\n";
    QByteArray traffic;
    for (const QByteArray& f : frames)
        traffic += "<RECIVED>" + f + "\r\n" + ack;
    traffic.chop(ack.size());
    return traffic;
}

void expectRawFilesHold(const QByteArray& rawFolder, const QByteArray& prefix,
                        const QByteArray& traffic, int batches) {
    const QRegularExpression named(QLatin1Char('^') +
                                   QRegularExpression::escape(QString::fromLatin1(prefix)) +
                                   QStringLiteral("(\\d\\d-\\d\\d-\\d{4}-\\d{6})\\.dat$"));
    QList<std::pair<QDateTime, QByteArray>> files;
    for (const QByteArray& name : listFiles(rawFolder)) {
        const QRegularExpressionMatch m = named.match(QString::fromLatin1(name));
        if (m.hasMatch())
            files.append(
                {QDateTime::fromString(m.captured(1), QStringLiteral("MM-dd-yyyy-HHmmss")), name});
    }
    std::sort(files.begin(), files.end());
    ASSERT_EQ(files.size(), batches) << prefix.constData();

    QByteArray all;
    for (qsizetype n = 0; n < files.size(); ++n) {
        const QByteArray bytes = readBytes(rawFolder + files[n].second);
        EXPECT_EQ(bytes.startsWith("<SENT><ACK8>\r\n"), n > 0) << files[n].second.constData();
        const QByteArrayList lines = crlfLines(bytes);
        EXPECT_TRUE(!lines.isEmpty() && lines.last().startsWith("<RECIVED><SOH>1ENB<STX>"))
            << files[n].second.constData();
        all += bytes;
    }
    EXPECT_EQ(all, traffic) << prefix.constData();
}

QByteArrayList linesOtherThan(const QByteArrayList& lines, const QByteArrayList& prefixes) {
    QByteArrayList other;
    for (const QByteArray& l : lines)
        if (std::none_of(prefixes.begin(), prefixes.end(),
                         [&](const QByteArray& p) { return l.startsWith(p); }))
            other.append(l);
    return other;
}

} // namespace znr::test
