#include "integration/program/ProgramFixture.h"

namespace znr {
namespace {

using namespace test;

struct ProgramOverSerial : ProgramFixture {
    Instrument& addSerialInstrument(int comPort, const char* name, QStringList more) {
        const QByteArray link = program.path("tty" + QByteArray::number(comPort));
        instruments.push_back(Instrument::overPty(link, expect.path(name), std::move(more)));
        Instrument& i = *instruments.back();
        EXPECT_TRUE(i.ready()) << i.diagnostics().constData();
        config.serialInstruments.append(ProgramConfig::Serial{QByteArray::number(comPort)});
        config.serialPorts[comPort] = link;
        return i;
    }
};

TEST_F(ProgramOverSerial, InstrumentsOnPtysAreServedAndAMissingDeviceIsLoggedOnce) {
    config.ethernet = false;
    config.column = false;
    Instrument& run =
        addSerialInstrument(3, "run",
                            args({"--id", "1234", "--mode", "RUN MODE", "--codes", "W1,D1,T3",
                                  "--batches", "2", "--interval", "1000", "--seed", "12"}));
    // COM5 names a device that does not exist; start-up goes on with the next instrument.
    config.serialInstruments.append(ProgramConfig::Serial{"5", "9600,n,8,1"});
    config.serialPorts[5] = program.path("no-such-tty");
    Instrument& cal = addSerialInstrument(
        4, "cal",
        args({"--id", "5678", "--mode", "CAL. CHECK", "--codes", "W1,D1", "--rows", "2",
              "--batches", "2", "--interval", "1000", "--seed", "13"}));
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
    EXPECT_TRUE(linesOtherThan(lines.mid(1), {"frmZNRInterface.ZNRComm_OnComm, "}).isEmpty())
        << lines.join('\n').constData();
    EXPECT_LE(lines.size(), 3) << lines.join('\n').constData();
    EXPECT_TRUE(program.running());
}

} // namespace
} // namespace znr
