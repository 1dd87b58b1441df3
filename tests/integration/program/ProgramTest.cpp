// The real program with instruments played by the simulator or by the test: every mode and
// layout filed and archived byte for byte, over TCP and ptys, and the start-up and frame
// deadlines as an instrument sees them.

#include "integration/program/ProgramFixture.h"

#include <QElapsedTimer>
#include <QTest>

namespace znr {
namespace {

using namespace test;

// Every mode, the check-rod code in RUN MODE (Check Rods) and in FAST MODE (Fast Mode all the
// same); the column layout with archiving, the row layout without. Batches of one instrument
// are at least a second apart, so each gets a data file of its own.
struct EveryModeOverTcp : ProgramFixture, ::testing::WithParamInterface<bool> {};

TEST_P(EveryModeOverTcp, EveryBatchIsFiledInItsModesFolderAndArchivedAsTheInstrumentSentIt) {
    const bool column = GetParam();
    config.column = column;
    config.archive = column;
    const QStringList every = args({"--batches", "3", "--interval", "1000"});
    const struct {
        const char* name;
        QStringList arguments;
        QByteArray folder;
        QByteArray rawPrefix;
    } played[] = {{"run",
                   args({"--id", "1234", "--batch-code", "X100", "--rows", "4", "--seed", "7"}),
                   program.dataFolder(), "1234_100_"},
                  {"cal",
                   args({"--id", "5678", "--mode", "CAL. CHECK", "--batch-code", "C200", "--codes",
                         "W1,D1,T3", "--seed", "8", "--fragment", "3", "--gap", "5"}),
                   program.calCheckFolder(), "5678_200_"},
                  {"fast",
                   args({"--id", "9012", "--mode", "FAST MODE", "--batch-code", "XROD", "--codes",
                         "A1,B2,C3", "--rows", "5", "--seed", "9"}),
                   program.fastModeFolder(), "9012_ROD_"},
                  {"rods", args({"--id", "4321", "--batch-code", "XROD", "--seed", "3"}),
                   program.checkRodsFolder(), "4321_ROD_"}};
    for (const auto& p : played)
        addInstrument(p.name, p.arguments + every);
    startProgram();
    expectAllFinish();

    for (size_t i = 0; i < std::size(played); ++i) {
        Sim& sim = *instruments[i];
        expectDataFilesAsExpected(played[i].folder, sim.expectedFolder(column), 3);
        if (column)
            expectRawFilesHold(program.rawFolder(), played[i].rawPrefix,
                               rawTraffic(sim.framesSent()), 3);
    }
    EXPECT_EQ(listFiles(program.rawFolder()).size(), column ? 12 : 0);

    // Each instrument closing its end after its last batch is all that is logged.
    EXPECT_TRUE(program.waitForLogLines(4));
    const QByteArrayList lines = program.logLines();
    EXPECT_EQ(lines.size(), 4) << lines.join('\n').constData();
    for (const QByteArray& line : lines)
        EXPECT_TRUE(isLogLine(line, kLinkReset)) << line.constData();
    EXPECT_TRUE(program.running());
}

INSTANTIATE_TEST_SUITE_P(Layouts, EveryModeOverTcp, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Column" : "Row"; });

struct Program : ProgramFixture {};

TEST_F(Program, InstrumentVanishingMidBatchIsLoggedOnceAndItsBatchLeavesNoFiles) {
    // The doomed instrument holds back the end of its first DAT frame for a minute.
    Sim& doomed = addInstrument("doomed", args({"--id", "1234", "--late", "60000"}));
    Sim& steady = addInstrument("steady", args({"--id", "9012", "--mode", "FAST MODE", "--batches",
                                                "2", "--interval", "1000", "--seed", "5"}));
    startProgram();
    ASSERT_TRUE(QTest::qWaitFor([&] { return doomed.err().contains("sent <SOH>1DAT"); }, 20000))
        << doomed.diagnostics().constData();
    doomed.kill();

    ASSERT_TRUE(program.waitForLogLines(1));
    EXPECT_TRUE(isLogLine(program.logLines().first(), kLinkReset));
    EXPECT_TRUE(steady.finishes()) << steady.diagnostics().constData();
    EXPECT_TRUE(program.running()) << program.output().constData();
    expectDataFilesAsExpected(program.fastModeFolder(), steady.expectedFolder(true), 2);
    EXPECT_TRUE(listFiles(program.dataFolder()).isEmpty());
    EXPECT_TRUE(filesStartingWith(program.rawFolder(), "1234_").isEmpty());
    // One line for the vanished instrument, one for the steady one closing after its batches.
    EXPECT_TRUE(program.waitForLogLines(2));
    const QByteArrayList lines = program.logLines();
    EXPECT_EQ(lines.size(), 2) << lines.join('\n').constData();
    for (const QByteArray& line : lines)
        EXPECT_TRUE(isLogLine(line, kLinkReset)) << line.constData();
}

TEST_F(Program, InstrumentsOnPtysAreServedAndAMissingDeviceIsLoggedOnce) {
    config.ethernet = false;
    config.column = false;
    Sim& run = addInstrument("run",
                             args({"--id", "1234", "--codes", "W1,D1,T3", "--batches", "2",
                                   "--interval", "1000", "--seed", "12"}),
                             3);
    // COM5 names a device that does not exist; start-up goes on with the next instrument.
    config.addSerial(5, program.path("no-such-tty"));
    Sim& cal =
        addInstrument("cal",
                      args({"--id", "5678", "--mode", "CAL. CHECK", "--codes", "W1,D1", "--rows",
                            "2", "--batches", "2", "--interval", "1000", "--seed", "13"}),
                      4);
    startProgram();
    expectAllFinish();

    expectDataFilesAsExpected(program.dataFolder(), run.expectedFolder(false), 2);
    expectDataFilesAsExpected(program.calCheckFolder(), cal.expectedFolder(false), 2);
    expectRawFilesHold(program.rawFolder(), "1234_100_", rawTraffic(run.framesSent()), 2);
    expectRawFilesHold(program.rawFolder(), "5678_100_", rawTraffic(cal.framesSent()), 2);

    // Besides the missing device, only the ptys vanishing when the instruments end are logged.
    const QByteArrayList lines = program.logLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines[0].startsWith("frmZNRInterface.CreateSerialConnection, ")) << lines[0].data();
    EXPECT_EQ(program.logLinesContaining("frmZNRInterface.ZNRComm_OnComm, "), lines.size() - 1)
        << lines.join('\n').constData();
    EXPECT_LE(lines.size(), 3) << lines.join('\n').constData();
    EXPECT_TRUE(program.running());
}

TEST_F(Program, SilentAndRefusingInstrumentsAreLoggedOnceEachAndTheNextOneIsServed) {
    FullListener silent;
    ASSERT_NE(silent.port(), 0);
    ASSERT_TRUE(silent.swallowsConnects(200)) << "the full listener still accepts";
    const quint16 refusing = refusingPort();
    ASSERT_NE(refusing, 0);
    config.ethernetInstruments = {{"127.0.0.1", silent.port()}, {"127.0.0.1", refusing}};
    Sim& good = addInstrument("good", args({"--id", "1234", "--seed", "2"}));
    startProgram();
    ASSERT_TRUE(good.finishes(40000)) << good.diagnostics().constData();

    expectDataFilesAsExpected(program.dataFolder(), good.expectedFolder(true), 1);
    ASSERT_TRUE(program.waitForLogLines(3));
    const QByteArrayList lines = program.logLines();
    ASSERT_EQ(lines.size(), 3) << lines.join('\n').constData();
    const QByteArray unavailable = "frmZNRInterface.CreateEthernetConnection, 0, Winsock Error ";
    EXPECT_TRUE(isLogLine(lines[0], unavailable + "IP Address Unavailable")) << lines[0].data();
    EXPECT_TRUE(isLogLine(lines[1], unavailable + "Connection Unavailable")) << lines[1].data();
    EXPECT_TRUE(isLogLine(lines[2], kLinkReset)) << lines[2].constData();
}

TEST_F(Program, LatePieceIsNakedAndTheResentFrameIsFiledAndArchivedAsReceived) {
    Sim& late =
        addInstrument("late", args({"--id", "1234", "--codes", "W1,D1,T3", "--rows", "3", "--late",
                                    "7000", "--gap", "300", "--stats", "--seed", "6"}));
    startProgram();
    ASSERT_TRUE(late.finishes(40000)) << late.diagnostics().constData();
    EXPECT_TRUE(late.out().contains("NAK8 received: 1\n")) << late.out().constData();
    EXPECT_TRUE(late.out().contains("(resent: 1)")) << late.out().constData();
    expectDataFilesAsExpected(program.dataFolder(), late.expectedFolder(true), 1);

    // The raw line shows everything received for the frame: the stale pieces, then the resent
    // frame, each control character rendered only at its first occurrence.
    QByteArrayList frames = late.framesSent();
    const auto resent = std::find_if(frames.begin(), frames.end(),
                                     [](const QByteArray& f) { return f.count("<SOH>") == 2; });
    ASSERT_NE(resent, frames.end()) << late.diagnostics().constData();
    const qsizetype cut = resent->indexOf("<SOH>", 1);
    QByteArray whole = resent->mid(cut);
    whole.replace("<SOH>", "\x01").replace("<STX>", "\x02").replace("<ETX>", "\x03");
    QByteArray traffic = rawTraffic(frames);
    traffic.replace("<RECIVED>" + *resent, "<SENT><NAK8>\r\n<RECIVED>" + resent->left(cut) + whole);
    expectRawFilesHold(program.rawFolder(), "1234_100_", traffic, 1);
}

// The one test here that needs the real 5-second frame deadline to pass.
TEST(ProgramAcknowledgement, GreetsAcknowledgesEachFrameOnceAndNaksFragmentsPastTheDeadline) {
    TestInstrument end;
    ProgramRun program;
    ProgramConfig config;
    config.ethernetInstruments = {{"127.0.0.1", end.port()}};
    ASSERT_TRUE(program.writeIni(config));
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(end.accept(15000)) << program.output().constData();
    EXPECT_EQ(end.take(2), kAck8) << "greeting";

    end.send(wireFrame("IST", "RUN MODE,a,b,1234,x"));
    EXPECT_EQ(end.take(2), kAck8);
    const QByteArray stb = wireFrame("STB", "X100,W1,D1");
    end.send(stb.left(4));
    EXPECT_TRUE(end.quietFor(150));
    end.send(stb.mid(4, 6));
    EXPECT_TRUE(end.quietFor(150));
    end.send(stb.mid(10));
    EXPECT_EQ(end.take(2), kAck8);
    end.send(wireFrame("DAT", "1,81.1540,0.9988"));
    EXPECT_EQ(end.take(2), kAck8);

    // The piece with SOH arms the deadline; a piece before it passes is only counted.
    const QByteArray late = wireFrame("DAT", "2,-4.8329,58.8315");
    QElapsedTimer sinceFirst;
    sinceFirst.start();
    end.send(late.left(8));
    EXPECT_TRUE(end.quietFor(300));
    end.send(late.mid(8, 6));
    EXPECT_TRUE(end.quietFor(300));
    // From 6 s on, one character per piece: each piece past the deadline gets its own NAK8.
    QTest::qWait(int(std::max<qint64>(0, 6000 - sinceFirst.elapsed())));
    QByteArray replies;
    for (char c : late.mid(14).chopped(1)) {
        end.send(QByteArray(1, c));
        replies += end.take(2, 1500);
    }
    ASSERT_FALSE(replies.isEmpty()) << "no NAK8 for pieces past the deadline";
    EXPECT_EQ(replies, kNak8.repeated(replies.size() / 2));
    end.send("\x04");
    EXPECT_EQ(end.take(2), kAck8) << "the frame completed after NAK8";
    end.send(wireFrame("DAT", "3,-1.3264,76.5300"));
    EXPECT_EQ(end.take(2), kAck8);
    end.send(wireFrame("ENB", "0"));
    EXPECT_EQ(end.take(2), kAck8);

    // The late frame was parsed whole: the file is the known answer for these readings.
    const QByteArrayList names = listFiles(program.dataFolder());
    ASSERT_EQ(names.size(), 1);
    EXPECT_EQ(readBytes(program.dataFolder() + names[0]),
              knownFile("sim/run-seed353-column.dat", names[0]));
    const QByteArrayList raw = listFiles(program.rawFolder());
    ASSERT_EQ(raw.size(), 1);
    EXPECT_EQ(readBytes(program.rawFolder() + raw[0]).count("<SENT><NAK8>\r\n"),
              replies.size() / 2);
    EXPECT_TRUE(program.logLines().isEmpty()) << program.logLines().join('\n').constData();
}

} // namespace
} // namespace znr
