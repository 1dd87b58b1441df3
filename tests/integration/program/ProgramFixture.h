#pragma once

#include "integration/program/Instruments.h"
#include "integration/program/ProgramRun.h"
#include "support/FileBytes.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <QRegularExpression>
#include <gtest/gtest.h>
#include <vector>

namespace znr::test {

// The program with simulated Ethernet instruments: each instrument added is written into the
// INI in the order added; the program starts once they are all listening.
struct ProgramFixture : ::testing::Test {
    ProgramRun program;
    TempDir expect; // expect/<name>/COLUMN and ROW: what each instrument expects
    ProgramConfig config;
    std::vector<std::unique_ptr<Instrument>> instruments;

    Instrument& addInstrument(const char* name, QStringList more) {
        instruments.push_back(Instrument::overTcp(expect.path(name), std::move(more)));
        Instrument& i = *instruments.back();
        EXPECT_TRUE(i.ready()) << i.diagnostics().constData();
        config.ethernetInstruments.append({"127.0.0.1", i.port()});
        return i;
    }

    void startProgram() {
        program.writeIni(config);
        ASSERT_TRUE(program.start());
    }

    // Every instrument played all its batches and had them acknowledged.
    void expectAllFinish(int timeoutMs = 30000) {
        for (const auto& i : instruments)
            EXPECT_TRUE(i->finishes(timeoutMs))
                << i->diagnostics().constData() << program.output().constData();
    }
};

// A whole log line: "<procedure>, <number>, <description>, <date-time>".
inline bool isLogLine(const QByteArray& line, const QByteArray& procedureNumberDescription) {
    const QRegularExpression form(
        QLatin1Char('^') +
        QRegularExpression::escape(QString::fromLatin1(procedureNumberDescription)) +
        QStringLiteral(", ") + QLatin1String(kLogTime) + QLatin1Char('$'));
    return form.match(QString::fromLatin1(line)).hasMatch();
}

// An instrument closing its end of the link: the program logs it as a reset.
inline const QByteArray kLinkReset =
    "frmZNRInterface.ZNRSocket_Error, 10054, Connection is reset by remote side";

} // namespace znr::test
