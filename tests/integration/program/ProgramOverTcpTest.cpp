#include "integration/program/ProgramFixture.h"

#include <QTest>

namespace znr {
namespace {

using namespace test;

// Batches of one instrument are at least a second apart, so each gets a data file of its own.
struct ThreeModesOverTcp : ProgramFixture, ::testing::WithParamInterface<bool> {};

TEST_P(ThreeModesOverTcp, EveryBatchIsFiledInItsModesFolderAndArchivedAsTheInstrumentSentIt) {
    const bool column = GetParam();
    config.column = column;
    config.checkRodsId = "ROD";
    Instrument& run =
        addInstrument("run", args({"--id", "1234", "--mode", "RUN MODE", "--batch-code", "X100",
                                   "--codes", "W1,D1", "--rows", "4", "--batches", "3",
                                   "--interval", "1000", "--seed", "7"}));
    Instrument& cal = addInstrument(
        "cal", args({"--id",      "5678",       "--mode",     "CAL. CHECK", "--batch-code",
                     "C200",      "--codes",    "W1,D1,T3",   "--rows",     "3",
                     "--batches", "3",          "--interval", "1000",       "--seed",
                     "8",         "--fragment", "3",          "--gap",      "5"}));
    Instrument& fast =
        addInstrument("fast", args({"--id", "9012", "--mode", "FAST MODE", "--batch-code", "F300",
                                    "--codes", "A1,B2,C3", "--rows", "5", "--batches", "3",
                                    "--interval", "1000", "--seed", "9"}));
    startProgram();
    expectAllFinish();

    expectDataFilesAsExpected(program.dataFolder(), run.expectedFolder(column), 3);
    expectDataFilesAsExpected(program.calCheckFolder(), cal.expectedFolder(column), 3);
    expectDataFilesAsExpected(program.fastModeFolder(), fast.expectedFolder(column), 3);
    EXPECT_TRUE(listFiles(program.checkRodsFolder()).isEmpty());

    expectRawFilesHold(program.rawFolder(), "1234_100_", rawTraffic(run.framesSent()), 3);
    expectRawFilesHold(program.rawFolder(), "5678_200_", rawTraffic(cal.framesSent()), 3);
    expectRawFilesHold(program.rawFolder(), "9012_300_", rawTraffic(fast.framesSent()), 3);

    // Each instrument closing its end after its last batch is all that is logged.
    EXPECT_TRUE(program.waitForLogLines(3));
    const QByteArrayList lines = program.logLines();
    EXPECT_EQ(lines.size(), 3) << lines.join('\n').constData();
    for (const QByteArray& line : lines)
        EXPECT_TRUE(isLogLine(line, kLinkReset)) << line.constData();
    EXPECT_TRUE(program.running());
}

INSTANTIATE_TEST_SUITE_P(Layouts, ThreeModesOverTcp, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Column" : "Row"; });

struct ProgramOverTcp : ProgramFixture {};

TEST_F(ProgramOverTcp, RunModeBatchesWithTheCheckRodCodeGoToCheckRodsButFastModeOnesDoNot) {
    config.checkRodsId = "ROD";
    config.archive = false;
    Instrument& rods =
        addInstrument("rods", args({"--id", "4321", "--mode", "RUN MODE", "--batch-code", "XROD",
                                    "--batches", "2", "--interval", "1000", "--seed", "3"}));
    Instrument& fast =
        addInstrument("fast", args({"--id", "8765", "--mode", "FAST MODE", "--batch-code", "XROD",
                                    "--batches", "1", "--seed", "4"}));
    startProgram();
    expectAllFinish();

    expectDataFilesAsExpected(program.checkRodsFolder(), rods.expectedFolder(true), 2);
    expectDataFilesAsExpected(program.fastModeFolder(), fast.expectedFolder(true), 1);
    EXPECT_TRUE(listFiles(program.dataFolder()).isEmpty());
    EXPECT_TRUE(listFiles(program.rawFolder()).isEmpty()) << "archiving is off";
}

TEST_F(ProgramOverTcp, InstrumentVanishingMidBatchIsLoggedOnceAndItsBatchLeavesNoFiles) {
    // The doomed instrument holds back the end of its first DAT frame for a minute.
    Instrument& doomed =
        addInstrument("doomed", args({"--id", "1234", "--mode", "RUN MODE", "--late", "60000"}));
    Instrument& steady =
        addInstrument("steady", args({"--id", "9012", "--mode", "FAST MODE", "--batches", "2",
                                      "--interval", "1000", "--seed", "5"}));
    startProgram();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return doomed.sim().err().contains("sent <SOH>1DAT"); }, 20000))
        << doomed.diagnostics().constData();
    doomed.sim().kill();

    ASSERT_TRUE(program.waitForLogLines(1));
    EXPECT_TRUE(isLogLine(program.logLines().first(), kLinkReset))
        << program.logLines().first().constData();
    EXPECT_TRUE(steady.finishes()) << steady.diagnostics().constData();
    EXPECT_TRUE(program.running()) << program.output().constData();

    expectDataFilesAsExpected(program.fastModeFolder(), steady.expectedFolder(true), 2);
    EXPECT_TRUE(listFiles(program.dataFolder()).isEmpty());
    for (const QByteArray& name : listFiles(program.rawFolder()))
        EXPECT_FALSE(name.startsWith("1234_")) << name.constData();
    // One line for the vanished instrument, one for the steady one closing after its batches.
    EXPECT_TRUE(program.waitForLogLines(2));
    const QByteArrayList lines = program.logLines();
    EXPECT_EQ(lines.size(), 2) << lines.join('\n').constData();
    for (const QByteArray& line : lines)
        EXPECT_TRUE(isLogLine(line, kLinkReset)) << line.constData();
}

} // namespace
} // namespace znr
