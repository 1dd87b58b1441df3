#pragma once

#include "support/FileBytes.h"
#include "support/Frames.h"
#include "support/ProgramRun.h"
#include "support/QtPrinters.h"
#include "support/Sim.h"
#include "support/TempDir.h"
#include "support/TestInstrument.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

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

inline QByteArrayList filesStartingWith(const QByteArray& folder, const QByteArray& prefix) {
    QByteArrayList found = listFiles(folder);
    found.removeIf([&](const QByteArray& name) { return !name.startsWith(prefix); });
    return found;
}

// The date-time of the stamp "MM-dd-yyyy-HHmmss" that ends a file's name before ".dat".
inline QDateTime stampOf(const QByteArray& fileName) {
    return QDateTime::fromString(QString::fromLatin1(fileName.chopped(4).right(17)),
                                 QStringLiteral("MM-dd-yyyy-HHmmss"));
}

// The known answer tests/data/`known` with its @TIME@ being the date-time of the stamp that
// ends `fileName`.
inline QByteArray knownFile(const char* known, const QByteArray& fileName) {
    const QString when =
        QLocale::c().toString(stampOf(fileName), QStringLiteral("M/d/yyyy h:mm:ss AP"));
    return testData(known).replace("@TIME@", when.toLatin1());
}

// The one data file of threeRowBatch(id) in `folder`: "<ID>,100,<date-time>,3,2", then the
// known answer's lines.
inline void expectThreeRowFile(const QByteArray& folder, const QByteArray& id) {
    const QByteArrayList names = filesStartingWith(folder, id + " ");
    ASSERT_EQ(names.size(), 1) << folder.constData() << " " << id.constData();
    const QByteArray bytes = readBytes(folder + names[0]);
    const QByteArray known = testData("protocol/run_mode_column.dat");
    const qsizetype eol = bytes.indexOf("\r\n");
    const QRegularExpression header(QString::fromLatin1("^" + id.left(4) + ",100,") +
                                    QLatin1String(kLogTime) + QStringLiteral(",3,2$"));
    EXPECT_TRUE(header.match(QString::fromLatin1(bytes.left(eol))).hasMatch()) << bytes.data();
    EXPECT_EQ(bytes.mid(eol), known.mid(known.indexOf("\r\n"))) << names[0].constData();
}

// The program with simulated instruments: each instrument added is written into the INI in the
// order added; the program starts once they are all listening.
struct ProgramFixture : ::testing::Test {
    ProgramRun program;
    TempDir expect; // what each instrument expects
    ProgramConfig config;
    std::vector<std::unique_ptr<Sim>> instruments;

    // The next simulated instrument, on a free loopback port or on a new pty behind `comPort`.
    Sim& addInstrument(QStringList more, int comPort = 0) {
        const QByteArray link = program.path("tty" + QByteArray::number(comPort));
        more << args({"--verbose", "--expect-dir"})
             << QFile::decodeName(expectDir(instruments.size()));
        more += comPort ? QStringList{QStringLiteral("--pty"), QFile::decodeName(link)}
                        : args({"--listen", "0"});
        Sim& sim = *instruments.emplace_back(std::make_unique<Sim>(more));
        if (comPort) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return sim.out().contains("pty "); }, 10000));
            config.addSerial(comPort, link);
        } else {
            config.ethernetInstruments.append({"127.0.0.1", sim.waitForPort()});
        }
        return sim;
    }
    // Where instrument number `i` writes the files it expects.
    QByteArray expectDir(size_t i) const { return expect.path(QByteArray::number(qulonglong(i))); }

    void startProgram() {
        ASSERT_TRUE(program.writeIni(config));
        ASSERT_TRUE(program.start());
    }

    // Every instrument played all its batches and had them acknowledged.
    void expectAllFinish(int timeoutMs = 30000) {
        for (const auto& i : instruments)
            EXPECT_TRUE(i->finishes(timeoutMs))
                << i->diagnostics().constData() << program.output().constData();
    }

    // Every data file in `folder` is byte for byte the one instruments[i] expected, and there
    // are `batches` of them; its raw traffic files (named "<rawPrefix><stamp>.dat") are one per
    // batch, each ending with the batch's ENB frame and each but the first beginning with the
    // acknowledgement of the previous batch's end; in time order they hold every frame sent,
    // each acknowledged, except the last acknowledgement (its record is exported later).
    void expectFiled(size_t i, const QByteArray& folder, bool column, int batches,
                     const QByteArray& rawPrefix) {
        const QByteArray expected = expectDir(i) + (column ? "/COLUMN/" : "/ROW/");
        const QByteArrayList names = listFiles(folder);
        EXPECT_EQ(names.size(), batches) << folder.constData() << ": " << names.join(' ').data();
        for (const QByteArray& name : names)
            EXPECT_EQ(readBytes(folder + name), readBytes(expected + name)) << name.constData();
        if (rawPrefix.isEmpty())
            return;
        QByteArrayList raw = filesStartingWith(program.rawFolder(), rawPrefix);
        std::sort(raw.begin(), raw.end(), [](auto& a, auto& b) { return stampOf(a) < stampOf(b); });
        ASSERT_EQ(raw.size(), batches) << rawPrefix.constData();
        const QByteArray ack = "<SENT><ACK8>\r\n";
        QByteArray all;
        for (const QByteArray& name : raw) {
            const QByteArray bytes = readBytes(program.rawFolder() + name);
            EXPECT_EQ(bytes.startsWith(ack), !all.isEmpty()) << name.constData();
            const QByteArrayList lines = crlfLines(bytes);
            EXPECT_TRUE(lines.value(lines.size() - 1).startsWith("<RECIVED><SOH>1ENB<STX>"))
                << name.constData();
            all += bytes;
        }
        QByteArray traffic;
        for (const QByteArray& f : instruments[i]->framesSent())
            traffic += "<RECIVED>" + f + "\r\n" + ack;
        EXPECT_EQ(all, traffic.chopped(ack.size())) << rawPrefix.constData();
    }
};

// The headless program with one instrument played by the test itself, archiving on.
struct ServedProgramFixture : ::testing::Test {
    ProgramRun program;
    ProgramConfig config;
    TestInstrument instrument;

    void SetUp() override {
        ASSERT_NE(instrument.port(), 0);
        config.ethernetInstruments.append({"127.0.0.1", instrument.port()});
        ASSERT_TRUE(program.writeIni(config));
        ASSERT_TRUE(program.start({QStringLiteral("--headless")}));
        ASSERT_TRUE(instrument.waitForProgram()) << program.output().constData();
    }

    // Plays threeRowBatch(id), every frame acknowledged before the next.
    void playBatch(const QByteArray& id, const char* endType = "ENB") {
        ASSERT_TRUE(instrument.sendFrames(threeRowBatch(id, endType)))
            << id.constData() << ": " << program.output().constData();
    }
};

} // namespace znr::test
