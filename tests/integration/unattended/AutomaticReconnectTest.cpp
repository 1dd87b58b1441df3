// The real program, headless, against instruments that go away and come back: over TCP (an
// instrument played by the test) and over a serial line (the simulator on a pty).

#include "../transport/SimHarness.h"
#include "HeadlessProgram.h"
#include "support/TempDir.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>
#include <gtest/gtest.h>

namespace znr::test {
namespace {

constexpr const char* DropLine = "frmZNRInterface.ZNRSocket_Error, 10054, ";
constexpr const char* RestoredLine = "frmZNRInterface.ReconnectConnection, 0, Connection restored";

// The instrument accepts the program, checks its greeting, then closes its end.
QTcpSocket* connectAndDrop(TcpInstrument& instrument, HeadlessProgram& program) {
    QTcpSocket* first = instrument.waitForClient(10000);
    if (!first || !TcpInstrument::greeted(*first))
        return nullptr;
    instrument.goAway(*first);
    return program.waitForLogLines(DropLine, 1) ? first : nullptr;
}

TEST(UnattendedReconnect, TcpInstrumentThatListensAgainIsReconnectedAndGreeted) {
    constexpr int seconds = 1;
    TcpInstrument instrument;
    ProgramSetup setup;
    setup.tcpPorts = {instrument.port()};
    setup.reconnectSeconds = QByteArray::number(seconds);
    HeadlessProgram program(setup);
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(connectAndDrop(instrument, program)) << program.logLines().join('\n').constData();

    QTest::qWait(1500); // an attempt or two find nobody listening
    ASSERT_TRUE(instrument.listenAgain());
    QElapsedTimer sinceBack;
    sinceBack.start();
    QTcpSocket* second = instrument.waitForClient(10000);
    ASSERT_TRUE(second) << "not reconnected";
    const qint64 latencyMs = sinceBack.elapsed();
    EXPECT_LE(latencyMs, seconds * 1000 + 1000) << "reconnected only after " << latencyMs << " ms";
    EXPECT_TRUE(TcpInstrument::greeted(*second));

    ASSERT_TRUE(program.waitForLogLines(RestoredLine, 1));
    const QByteArrayList lines = program.logLines();
    ASSERT_EQ(lines.size(), 2) << lines.join('\n').constData(); // failed attempts log nothing
    EXPECT_TRUE(lines[0].startsWith(DropLine));
    EXPECT_TRUE(lines[1].startsWith(RestoredLine));
    EXPECT_TRUE(program.stop());
    EXPECT_EQ(program.exitCode(), 0);
}

// Both programs run side by side, one without the key and one with 0.
TEST(UnattendedReconnect, WithoutTheKeyOrWithZeroSecondsADroppedTcpInstrumentIsLeftAlone) {
    TcpInstrument absent;
    TcpInstrument zero;
    ProgramSetup withoutKey;
    withoutKey.tcpPorts = {absent.port()};
    ProgramSetup withZero;
    withZero.tcpPorts = {zero.port()};
    withZero.reconnectSeconds = "0";
    HeadlessProgram programWithoutKey(withoutKey);
    HeadlessProgram programWithZero(withZero);
    ASSERT_TRUE(programWithoutKey.start());
    ASSERT_TRUE(programWithZero.start());
    ASSERT_TRUE(connectAndDrop(absent, programWithoutKey));
    ASSERT_TRUE(connectAndDrop(zero, programWithZero));
    ASSERT_TRUE(absent.listenAgain());
    ASSERT_TRUE(zero.listenAgain());

    QTest::qWait(2500);
    EXPECT_EQ(absent.waitForClient(0), nullptr);
    EXPECT_EQ(zero.waitForClient(0), nullptr);
    for (HeadlessProgram* program : {&programWithoutKey, &programWithZero}) {
        EXPECT_EQ(program->logLines().size(), 1) << program->logLines().join('\n').constData();
        EXPECT_TRUE(program->stop());
        EXPECT_EQ(program->exitCode(), 0);
    }
}

// An instrument on a new pty behind `link`, playing batches until it is killed.
QStringList ptySim(const QByteArray& link, const char* id) {
    return {QStringLiteral("--pty"),      QFile::decodeName(link),     QStringLiteral("--id"),
            QString::fromLatin1(id),      QStringLiteral("--batches"), QStringLiteral("0"),
            QStringLiteral("--interval"), QStringLiteral("200"),       QStringLiteral("--rows"),
            QStringLiteral("2")};
}

bool linkAppears(const QByteArray& link) {
    return QTest::qWaitFor([&] { return QFileInfo::exists(QFile::decodeName(link)); }, 10000);
}

int announcementsOf(HeadlessProgram& program, const QByteArray& fileStart) {
    int n = 0;
    for (const QByteArray& line : program.announcements())
        n += line.contains("/Data Files/" + fileStart) ? 1 : 0;
    return n;
}

TEST(UnattendedReconnect, SerialInstrumentWhosePtyVanishesAndComesBackIsReopened) {
    TempDir links;
    const QByteArray link = links.path("tty3");
    auto first = std::make_unique<SimProcess>(ptySim(link, "1111"));
    ASSERT_TRUE(linkAppears(link));
    ProgramSetup setup;
    setup.mode = "SERIAL";
    setup.serialLinks = {link};
    setup.reconnectSeconds = "1";
    HeadlessProgram program(setup);
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(QTest::qWaitFor([&] { return announcementsOf(program, "1111 ") >= 1; }, 10000))
        << program.logLines().join('\n').constData();

    first.reset(); // killed: the pty and everything on it is gone
    ASSERT_TRUE(program.waitForLogLines("frmZNRInterface.ZNRComm_OnComm, ", 1))
        << program.logLines().join('\n').constData();

    // The simulator plays only after the greeting, so its batch shows the port was reopened
    // and greeted.
    SimProcess second(ptySim(link, "2222"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return announcementsOf(program, "2222 ") >= 1; }, 15000))
        << program.logLines().join('\n').constData();

    ASSERT_TRUE(program.waitForLogLines(RestoredLine, 1));
    EXPECT_EQ(program.logLinesContaining("frmZNRInterface.ZNRComm_OnComm, "), 1);
    EXPECT_EQ(program.logLines().size(), 2) << program.logLines().join('\n').constData();
    EXPECT_TRUE(program.stop());
    EXPECT_EQ(program.exitCode(), 0);
}

} // namespace
} // namespace znr::test
