#pragma once

#include "support/FileBytes.h"
#include "support/Frames.h"
#include "support/ProgramRun.h"
#include "support/QtPrinters.h"
#include "support/Sim.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <gtest/gtest.h>

namespace znr::test {

// The regular expression of a log line's date-time ("5/1/2012 10:15:30 AM").
inline constexpr const char* kLogTime = "\\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d\\d:\\d\\d [AP]M";

// An instrument closing its end of the link: the program logs it as a reset.
inline const QByteArray kLinkReset =
    "frmZNRInterface.ZNRSocket_Error, 10054, Connection is reset by remote side";

// The log's lines without their date-times: "procedure, number, description" (a line without
// a date-time ends in " <no time>").
inline QByteArrayList logEntries(const ProgramRun& program) {
    static const QRegularExpression time(QStringLiteral(", ") + QLatin1String(kLogTime) +
                                         QLatin1Char('$'));
    QByteArrayList entries;
    for (const QByteArray& line : program.logLines()) {
        const QRegularExpressionMatch m = time.match(QString::fromLatin1(line));
        entries.append(m.hasMatch() ? line.left(m.capturedStart()) : line + " <no time>");
    }
    return entries;
}

// The files in `folder` whose names begin with `prefix`.
inline QByteArrayList filesStartingWith(const QByteArray& folder, const QByteArray& prefix) {
    QByteArrayList found;
    for (const QByteArray& name : listFiles(folder))
        if (name.startsWith(prefix))
            found.append(name);
    return found;
}

// Every data file in `folder` equals, byte for byte, the expected file of the same name in
// `expectedFolder`, and there are `batches` of them (one per batch: batches of one instrument
// end in different seconds).
inline void expectDataFilesAsExpected(const QByteArray& folder, const QByteArray& expectedFolder,
                                      int batches) {
    const QByteArrayList names = listFiles(folder);
    EXPECT_EQ(names.size(), batches) << folder.constData() << ": " << names.join(' ').constData();
    for (const QByteArray& name : names) {
        ASSERT_TRUE(fileExists(expectedFolder + name))
            << name.constData() << " is not among " << listFiles(expectedFolder).join(' ').data();
        EXPECT_EQ(readBytes(folder + name), readBytes(expectedFolder + name)) << name.constData();
    }
}

// The date-time of the stamp "MM-dd-yyyy-HHmmss" that ends a file's name before ".dat".
inline QDateTime stampOf(const QByteArray& fileName) {
    return QDateTime::fromString(QString::fromLatin1(fileName.chopped(4).right(17)),
                                 QStringLiteral("MM-dd-yyyy-HHmmss"));
}

// The known answer tests/data/`known` with its @TIME@ being the date-time of the stamp that
// ends `fileName` ("... 05-01-2012-101530.dat").
inline QByteArray knownFile(const char* known, const QByteArray& fileName) {
    const QString when =
        QLocale::c().toString(stampOf(fileName), QStringLiteral("M/d/yyyy h:mm:ss AP"));
    return testData(known).replace("@TIME@", when.toLatin1());
}

// The raw lines of `frames` each answered with ACK8: "<RECIVED>" + frame, "<SENT><ACK8>", each
// line ending in CR LF, without the last frame's acknowledgement (it opens a record that is only
// exported at the next batch's end).
inline QByteArray rawTraffic(const QByteArrayList& frames) {
    const QByteArray ack = "<SENT><ACK8>\r\n";
    QByteArray traffic;
    for (const QByteArray& f : frames)
        traffic += "<RECIVED>" + f + "\r\n" + ack;
    return traffic.chopped(ack.size());
}

// The raw traffic files named "<prefix><stamp>.dat" in `rawFolder` are one per batch, each ends
// with the batch's ENB frame, each but the first begins with the acknowledgement of the previous
// batch's end, and together, in time order, they hold `traffic` byte for byte.
inline void expectRawFilesHold(const QByteArray& rawFolder, const QByteArray& prefix,
                               const QByteArray& traffic, int batches) {
    QByteArrayList names = filesStartingWith(rawFolder, prefix);
    std::sort(names.begin(), names.end(),
              [](const QByteArray& a, const QByteArray& b) { return stampOf(a) < stampOf(b); });
    ASSERT_EQ(names.size(), batches) << prefix.constData();
    QByteArray all;
    for (const QByteArray& name : names) {
        const QByteArray bytes = readBytes(rawFolder + name);
        EXPECT_EQ(bytes.startsWith("<SENT><ACK8>\r\n"), !all.isEmpty()) << name.constData();
        const QByteArrayList lines = crlfLines(bytes);
        EXPECT_TRUE(!lines.isEmpty() && lines.last().startsWith("<RECIVED><SOH>1ENB<STX>"))
            << name.constData();
        all += bytes;
    }
    EXPECT_EQ(all, traffic) << prefix.constData();
}

// The one data file of threeRowBatch(id) in `folder`: first line "<ID>,100,<date-time>,3,2",
// then exactly the known answer's lines.
inline void expectThreeRowFile(const QByteArray& folder, const QByteArray& id) {
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
