#pragma once

#include "support/ProgramRun.h"
#include "support/QtPrinters.h"
#include "support/Sim.h"
#include "support/TempDir.h"
#include "support/TestInstrument.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace znr::test {

// An instrument closing its end of the link: the program logs it as a reset.
inline const QByteArray kLinkReset =
    "frmZNRInterface.ZNRSocket_Error, 10054, Connection is reset by remote side";

// The log's lines without their date-times: "procedure, number, description".
inline QByteArrayList logEntries(const ProgramRun& program) {
    QByteArrayList entries;
    for (const QByteArray& line : program.logLines())
        entries.append(line.left(line.lastIndexOf(", ")));
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
                << i->err().constData() << program.log().constData();
    }

    // Every data file in `folder` is byte for byte the one instruments[i] expected, and there
    // are `batches` of them; its raw traffic files (named "<rawPrefix><stamp>.dat") are one per
    // batch and in time order hold every frame sent, each acknowledged, except the last
    // acknowledgement (its record is only exported at the next batch's end).
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
        QByteArray all;
        for (const QByteArray& name : raw)
            all += readBytes(program.rawFolder() + name);
        const QByteArray ack = "<SENT><ACK8>\r\n";
        QByteArray traffic;
        for (const QByteArray& f : instruments[i]->framesSent())
            traffic += "<RECIVED>" + f + "\r\n" + ack;
        EXPECT_EQ(all, traffic.chopped(ack.size())) << rawPrefix.constData();
    }
};

// The headless program with one instrument played by the test itself, archiving on.
struct ServedProgramFixture : ::testing::Test {
    ProgramRun program;
    TestInstrument instrument;

    void SetUp() override {
        ASSERT_NE(instrument.port(), 0);
        ProgramConfig config;
        config.ethernetInstruments.append({"127.0.0.1", instrument.port()});
        ASSERT_TRUE(program.writeIni(config));
        ASSERT_TRUE(program.start({QStringLiteral("--headless")}));
        ASSERT_TRUE(instrument.waitForProgram()) << program.log().constData();
    }

    // Plays threeRowBatch(id), every frame acknowledged before the next.
    void playBatch(const QByteArray& id) {
        ASSERT_TRUE(instrument.sendFrames(threeRowBatch(id)))
            << id.constData() << ": " << program.log().constData();
    }
};

} // namespace znr::test
