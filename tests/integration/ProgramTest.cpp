// The real program with instruments played by the simulator or by the test: every mode and
// layout filed and archived byte for byte over TCP and ptys, instruments that cannot be opened
// or vanish mid-batch, and the frame deadline as an instrument sees it.

#include "integration/ProgramFixture.h"

#include <QTest>

namespace znr {
namespace {

using namespace test;

// Every mode, the check-rod code in RUN MODE (Check Rods) and in FAST MODE (Fast Mode all the
// same); the column layout with archiving, the row layout without. Batches of one instrument
// are at least a second apart, so each gets a data file of its own. Before them in the INI, an
// instrument that never answers and one that refuses; after them, the first one again and one
// killed mid-batch.
struct EveryModeOverTcp : ProgramFixture, ::testing::WithParamInterface<bool> {};

TEST_P(EveryModeOverTcp, EveryBatchIsFiledAndArchivedAndEachFailedInstrumentLoggedOnce) {
    const bool column = GetParam();
    config.column = column;
    config.archive = column;
    FullListener silent;
    QTcpServer closed; // a port nobody listens on once it is closed: refused at once
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    config.ethernetInstruments = {{"127.0.0.1", silent.port()}, {"127.0.0.1", closed.serverPort()}};
    closed.close();
    const QStringList every = args({"--batches", "3", "--interval", "1000"});
    const struct {
        QStringList arguments;
        QByteArray folder;
        QByteArray rawPrefix;
    } played[] = {{args({"--id", "1234", "--batch-code", "X100", "--rows", "4", "--seed", "7"}),
                   program.dataFolder(), "1234_100_"},
                  {args({"--id", "5678", "--mode", "CAL. CHECK", "--batch-code", "C200", "--codes",
                         "W1,D1,T3", "--seed", "8", "--fragment", "3", "--gap", "5"}),
                   program.path("Cal Check/"), "5678_200_"},
                  {args({"--id", "9012", "--mode", "FAST MODE", "--batch-code", "XROD", "--codes",
                         "A1,B2,C3", "--rows", "5", "--seed", "9"}),
                   program.path("Fast Mode/"), "9012_ROD_"},
                  {args({"--id", "4321", "--batch-code", "XROD", "--seed", "3"}),
                   program.path("Check Rods/"), "4321_ROD_"}};
    for (const auto& p : played)
        addInstrument(p.arguments + every);
    config.ethernetInstruments.append(config.ethernetInstruments[2]); // opened once only
    // Holds back the end of its first DAT frame for a minute: its batch must leave no file.
    Sim& doomed = addInstrument(args({"--id", "5555", "--late", "60000"}));
    startProgram();
    ASSERT_TRUE(QTest::qWaitFor([&] { return doomed.err().contains("sent <SOH>1DAT"); }, 20000))
        << doomed.err().constData();
    doomed.kill();
    instruments.pop_back();
    expectAllFinish(40000);

    for (size_t i = 0; i < std::size(played); ++i)
        expectFiled(i, played[i].folder, column, 3, column ? played[i].rawPrefix : "");
    EXPECT_EQ(listFiles(program.rawFolder()).size(), column ? 12 : 0);

    // The openings that failed in INI order, then each instrument closing its end.
    EXPECT_TRUE(program.waitForLogLines(7));
    const QByteArray unavailable = "frmZNRInterface.CreateEthernetConnection, 0, Winsock Error ";
    QByteArrayList expected{unavailable + "IP Address Unavailable",
                            unavailable + "Connection Unavailable"};
    expected += QByteArrayList(5, kLinkReset);
    EXPECT_EQ(logEntries(program), expected);
    EXPECT_TRUE(program.running());
}

INSTANTIATE_TEST_SUITE_P(Layouts, EveryModeOverTcp, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Column" : "Row"; });

struct Program : ProgramFixture {};

// Between the two instruments, entries that cannot be opened: COM1 again (opened once only),
// COM5 naming a device that does not exist, COM0 (no such port), and line settings COM4 cannot
// take. Start-up goes on, and a refused opening leaves COM4 free for the next instrument.
TEST_F(Program, InstrumentsOnPtysAreServedAndFailedOpeningsAreLoggedOnceEach) {
    config.ethernet = false;
    config.column = false;
    addInstrument(args({"--id", "1234", "--codes", "W1,D1,T3", "--batches", "2", "--interval",
                        "1000", "--seed", "12"}),
                  1);
    config.serialInstruments.append({"1"});
    config.addSerial(5, program.path("no-such-tty"));
    config.serialInstruments << ProgramConfig::Serial{"0"}
                             << ProgramConfig::Serial{"4", "9600,n,8,1.5"}
                             << ProgramConfig::Serial{"4", "9600,e,8,1"};
    addInstrument(args({"--id", "5678", "--mode", "CAL. CHECK", "--codes", "W1,D1", "--rows", "2",
                        "--batches", "2", "--interval", "1000", "--seed", "13"}),
                  4);
    startProgram();
    expectAllFinish();

    expectFiled(0, program.dataFolder(), false, 2, "1234_100_");
    expectFiled(1, program.path("Cal Check/"), false, 2, "5678_100_");

    // Each refusal is logged once, then at most the ptys vanishing when the instruments end.
    const QByteArray opening = "frmZNRInterface.CreateSerialConnection, ";
    const QByteArray settings = opening + "380, Invalid property value: settings ";
    const QByteArrayList refusals{
        opening + "8002, Invalid port number (" + program.path("no-such-tty") +
            ": No such file or directory)",
        settings + "\"9600,n,8,1.5\" (1.5 stop bits are not supported on this system)",
        settings + "\"9600,e,8,1\" (Invalid argument)"};
    const QByteArrayList entries = logEntries(program);
    EXPECT_EQ(entries.mid(0, 3), refusals);
    EXPECT_LE(entries.size(), 5) << program.log().constData();
    EXPECT_TRUE(program.running());
}

struct ProgramAcknowledgement : ServedProgramFixture {};

// The one test here that needs the real 5-second frame deadline to pass.
TEST_F(ProgramAcknowledgement, GreetsAcknowledgesEachFrameOnceAndNaksFragmentsPastTheDeadline) {
    ASSERT_TRUE(instrument.sendFrames(threeRowBatch("1234").mid(0, 2)
                                      << wireFrame("DAT", "1,81.1540,0.9988")));

    // The piece with SOH arms the deadline; the pieces before it passes are only counted. From
    // 6 s on, one character per piece: each gets its NAK8, and the frame completed after them
    // its ACK8.
    const QByteArray late = wireFrame("DAT", "2,-4.8329,58.8315");
    instrument.send(late.left(8));
    instrument.send(late.mid(8, 6));
    QTest::qWait(6000);
    const QByteArray pieces = late.mid(14).chopped(1);
    for (char c : pieces) {
        const qsizetype before = instrument.received().size();
        instrument.send(QByteArray(1, c));
        EXPECT_TRUE(QTest::qWaitFor([&] { return instrument.received().size() > before; }, 1500));
    }
    ASSERT_TRUE(instrument.sendFrames(
        {"\x04", wireFrame("DAT", "3,-1.3264,76.5300"), wireFrame("ENB", "0")}));
    EXPECT_EQ(instrument.received(),
              kAck8.repeated(4) + kNak8.repeated(pieces.size()) + kAck8.repeated(3));

    // The late frame was parsed whole: the file is the known answer for these readings.
    const QByteArrayList names = listFiles(program.dataFolder());
    ASSERT_EQ(names.size(), 1);
    EXPECT_EQ(readBytes(program.dataFolder() + names[0]),
              knownFile("sim/run-seed353-column.dat", names[0]));
    EXPECT_TRUE(program.logLines().isEmpty()) << program.log().constData();

    // Without the reconnect key an instrument that went away is not called again.
    instrument.goAway();
    ASSERT_TRUE(program.waitForLogLines(1, kLinkReset));
    ASSERT_TRUE(instrument.listenAgain());
    EXPECT_FALSE(instrument.waitForProgram(2500)) << "reconnected without the key";
}

} // namespace
} // namespace znr
