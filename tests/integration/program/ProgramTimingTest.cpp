#include "integration/program/ProgramFixture.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace znr {
namespace {

using namespace test;

// The instrument's end of the link the program opened to an in-test server.
class InstrumentEnd {
public:
    explicit InstrumentEnd(QTcpSocket* socket) : socket_(socket) {}

    void send(const QByteArray& bytes) {
        socket_->write(bytes);
        socket_->flush();
    }
    // The next `count` bytes the program sent, waiting up to `timeoutMs` for them.
    QByteArray take(int count, int timeoutMs = 10000) {
        (void)QTest::qWaitFor([&] { return pull().size() >= count; }, timeoutMs);
        const QByteArray head = got_.left(count);
        got_.remove(0, head.size());
        return head;
    }
    // Nothing arrives within `ms`.
    bool quietFor(int ms) {
        QTest::qWait(ms);
        return pull().isEmpty();
    }

private:
    const QByteArray& pull() {
        got_ += socket_->readAll();
        return got_;
    }

    QTcpSocket* socket_;
    QByteArray got_;
};

// The one test here that needs the real 5-second frame deadline to pass.
TEST(ProgramAcknowledgement, GreetsAcknowledgesEachFrameOnceAndNaksFragmentsPastTheDeadline) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    ProgramRun program;
    ProgramConfig config;
    config.ethernetInstruments = {{"127.0.0.1", server.serverPort()}};
    program.writeIni(config);
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.hasPendingConnections(); }, 15000))
        << program.output().constData();
    InstrumentEnd end(server.nextPendingConnection());
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
    const QByteArray rest = late.mid(14).chopped(1);
    QByteArray replies;
    for (char c : rest) {
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
    const QDateTime t = QDateTime::fromString(QString::fromLatin1(names[0].mid(5, 17)),
                                              QStringLiteral("MM-dd-yyyy-HHmmss"));
    const QByteArray when =
        QLocale::c().toString(t, QStringLiteral("M/d/yyyy h:mm:ss AP")).toLatin1();
    EXPECT_EQ(readBytes(program.dataFolder() + names[0]),
              testData("sim/run-seed353-column.dat").replace("@TIME@", when))
        << names[0].constData();
    const QByteArrayList raw = listFiles(program.rawFolder());
    ASSERT_EQ(raw.size(), 1);
    EXPECT_EQ(readBytes(program.rawFolder() + raw[0]).count("<SENT><NAK8>\r\n"),
              replies.size() / 2);
    EXPECT_TRUE(program.logLines().isEmpty()) << program.logLines().join('\n').constData();
}

struct LateFragments : ProgramFixture {};

TEST_F(LateFragments, LatePieceIsNakedAndTheResentFrameIsFiledAndArchivedAsReceived) {
    Instrument& late =
        addInstrument("late", args({"--id", "1234", "--codes", "W1,D1,T3", "--rows", "3", "--late",
                                    "7000", "--gap", "300", "--stats", "--seed", "6"}));
    startProgram();
    ASSERT_TRUE(late.finishes(40000)) << late.diagnostics().constData();
    const QByteArray out = late.sim().out();
    EXPECT_TRUE(out.contains("NAK8 received: 1\n")) << out.constData();
    EXPECT_TRUE(out.contains("(resent: 1)")) << out.constData();

    expectDataFilesAsExpected(program.dataFolder(), late.expectedFolder(true), 1);

    // The raw line shows everything received for the frame: the stale pieces, then the resent
    // frame, each control character rendered only at its first occurrence.
    QByteArrayList frames = late.framesSent();
    const auto resent = std::find_if(frames.begin(), frames.end(),
                                     [](const QByteArray& f) { return f.count("<SOH>") == 2; });
    ASSERT_NE(resent, frames.end()) << late.diagnostics().constData();
    const qsizetype cut = resent->indexOf("<SOH>", 1);
    const QByteArray stale = resent->left(cut);
    QByteArray whole = resent->mid(cut);
    whole.replace("<SOH>", "\x01").replace("<STX>", "\x02").replace("<ETX>", "\x03");
    QByteArray traffic = rawTraffic(frames);
    traffic.replace("<RECIVED>" + *resent, "<SENT><NAK8>\r\n<RECIVED>" + stale + whole);
    expectRawFilesHold(program.rawFolder(), "1234_100_", traffic, 1);
}

} // namespace
} // namespace znr
