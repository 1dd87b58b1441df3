#include "support/ProgramChecks.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <gtest/gtest.h>

namespace znr::test {

namespace {

QDateTime stampTime(const QByteArray& stamp) {
    return QDateTime::fromString(QString::fromLatin1(stamp), QStringLiteral("MM-dd-yyyy-HHmmss"));
}

} // namespace

QByteArrayList logEntries(const ProgramRun& program) {
    static const QRegularExpression time(QStringLiteral(", ") + QLatin1String(kLogTime) +
                                         QLatin1Char('$'));
    QByteArrayList entries;
    for (const QByteArray& line : program.logLines()) {
        const QRegularExpressionMatch m = time.match(QString::fromLatin1(line));
        entries.append(m.hasMatch() ? line.left(m.capturedStart()) : line + " <no time>");
    }
    return entries;
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

QByteArray knownFile(const char* known, const QByteArray& fileName) {
    const QDateTime t = stampTime(fileName.chopped(4).right(17));
    const QByteArray when =
        QLocale::c().toString(t, QStringLiteral("M/d/yyyy h:mm:ss AP")).toLatin1();
    return testData(known).replace("@TIME@", when);
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
            files.append({stampTime(m.captured(1).toLatin1()), name});
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

QByteArrayList filesStartingWith(const QByteArray& folder, const QByteArray& prefix) {
    QByteArrayList found;
    for (const QByteArray& name : listFiles(folder))
        if (name.startsWith(prefix))
            found.append(name);
    return found;
}

void expectThreeRowFile(const QByteArray& folder, const QByteArray& id) {
    const QByteArrayList names = filesStartingWith(folder, id + " ");
    ASSERT_EQ(names.size(), 1) << folder.constData() << " " << id.constData();
    const QByteArray bytes = readBytes(folder + names[0]);
    const QByteArray known = testData("protocol/run_mode_column.dat");
    const qsizetype eol = bytes.indexOf("\r\n");
    const QRegularExpression header(
        QLatin1Char('^') + QRegularExpression::escape(QString::fromLatin1(id.left(4))) +
        QStringLiteral(",100,") + QLatin1String(kLogTime) + QStringLiteral(",3,2$"));
    EXPECT_TRUE(header.match(QString::fromLatin1(bytes.left(eol))).hasMatch())
        << "first line: " << bytes.left(eol).constData();
    EXPECT_EQ(bytes.mid(eol), known.mid(known.indexOf("\r\n"))) << names[0].constData();
}

} // namespace znr::test
