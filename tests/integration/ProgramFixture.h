#pragma once

#include "support/ProgramChecks.h"
#include "support/TempDir.h"
#include "support/TestInstrument.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace znr::test {

// The program with simulated instruments: each instrument added is written into the INI in the
// order added; the program starts once they are all listening.
struct ProgramFixture : ::testing::Test {
    ProgramRun program;
    TempDir expect; // expect/<name>/COLUMN and ROW: what each instrument expects
    ProgramConfig config;
    std::vector<std::unique_ptr<Sim>> instruments;

    Sim& addInstrument(const char* name, QStringList more, int comPort = 0) {
        const QByteArray link = comPort ? program.path("tty" + QByteArray::number(comPort)) : "";
        instruments.push_back(Sim::instrument(expect.path(name), std::move(more), link));
        Sim& i = *instruments.back();
        EXPECT_TRUE(i.ready()) << i.diagnostics().constData();
        if (comPort)
            config.addSerial(comPort, link);
        else
            config.ethernetInstruments.append({"127.0.0.1", i.port()});
        return i;
    }

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
