#pragma once

#include "integration/program/ProgramFixture.h"
#include "integration/program/ServedInstrument.h"

#include <QTest>

namespace znr::test {

// The headless program with one instrument played by the test itself, archiving on.
struct ServedProgramFixture : ::testing::Test {
    ProgramRun program;
    ProgramConfig config;
    ServedInstrument instrument;

    void SetUp() override {
        ASSERT_NE(instrument.port(), 0);
        config.ethernetInstruments.append({"127.0.0.1", instrument.port()});
        program.writeIni(config);
        ASSERT_TRUE(program.start({QStringLiteral("--headless")}));
        ASSERT_TRUE(instrument.waitForProgram()) << program.output().constData();
    }

    // Plays threeRowBatch(id), every frame acknowledged before the next.
    void playBatch(const QByteArray& id, const char* endType = "ENB") {
        ASSERT_TRUE(instrument.sendFrames(threeRowBatch(id, endType)))
            << id.constData() << ": " << program.output().constData();
    }

    // The one data file of instrument `id` in `folder`, checked against the known answer.
    void expectThreeRowFile(const QByteArray& folder, const QByteArray& id) {
        const QByteArrayList names = filesStartingWith(folder, id + " ");
        ASSERT_EQ(names.size(), 1) << folder.constData() << " " << id.constData();
        EXPECT_EQ(threeRowFileProblem(readBytes(folder + names[0]), id), QByteArray())
            << names[0].constData();
    }

    // The log's lines without their date-times: "procedure, number, description".
    QByteArrayList logEntries() const {
        QByteArrayList entries;
        for (const QByteArray& line : program.logLines()) {
            const QRegularExpression time(QStringLiteral(", ") + QLatin1String(kLogTime) +
                                          QLatin1Char('$'));
            const QRegularExpressionMatch m = time.match(QString::fromLatin1(line));
            entries.append(m.hasMatch() ? line.left(m.capturedStart()) : line + " <no time>");
        }
        return entries;
    }
};

} // namespace znr::test
