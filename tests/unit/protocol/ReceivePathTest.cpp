#include "ProtocolFixture.h"

#include <QFile>
#include <random>

namespace znr::test {
namespace {

QByteArray stb(const char* codes) {
    return frame("STB", QByteArray("X100,") + codes);
}

// One frame cut in three: "<SOH>1STB<STX>" | "X100," | "AB,CD<ETX><EOT>".
const QByteArray Whole = stb("AB,CD");
const QByteArray Part1 = Whole.left(6);
const QByteArray Part2 = Whole.mid(6, 5);
const QByteArray Part3 = Whole.mid(11);

struct Step {
    qint64 atMs;      // since the case started
    QByteArray bytes; // the arrival
    QByteArray reply; // every byte replied to it
    qint16 fragments; // FragmentCount afterwards
};

struct ReplayCase {
    const char* name;
    std::vector<Step> steps;
    QByteArray codeListAfter; // what the parser made of the frames
    QByteArray bufferAfter;
};

const ReplayCase ReplayCases[] = {
    {"SplitFrameIsAcknowledgedOnceAfterEot",
     {{0, Part1, "", 0}, {1000, Part2, "", 1}, {2000, Part3, ACK8, 0}},
     "AB,CD",
     ""},
    {"LateFrameGetsNakForEveryFragmentFromTheDeadlineOn",
     {{0, Part1, "", 0},
      {2000, "X1", "", 1},
      {5000, "00,", NAK8, 1},
      {5500, "", NAK8, 1},
      {6000, Part3, ACK8, 0}},
     "AB,CD",
     ""},
    {"EotAloneIsAcknowledged", {{0, "\x04", ACK8, 0}}, "", ""},
    {"TwoFramesInOneArrivalAreEachParsedAndAcknowledged",
     {{0, stb("AB") + stb("CD"), ACK8 + ACK8, 0}},
     "AB,CD",
     ""},
    {"FrameResentAfterNakIsParsedFromItsLastSoh",
     {{0, frame("STB", "X100,ZZ").left(12), "", 0}, {6000, "", NAK8, 0}, {6100, Whole, ACK8, 0}},
     "AB,CD",
     ""},
    {"EmptySerialEventOnOverdueFrameIsNaked",
     {{0, Part1, "", 0}, {4999, "", "", 1}, {5000, "", NAK8, 1}},
     "",
     Part1},
    {"FirstArrivalWithoutSohOnFreshConnectionIsNakedAtOnce", {{0, "X1", NAK8, 0}}, "", "X1"},
    {"SohWhileNothingIsCountedRearmsTheDeadline",
     {{0, Part1, "", 0}, {4000, "\x01", "", 0}, {8000, "x", "", 1}, {9000, "y", NAK8, 1}},
     "",
     Part1 + "\x01xy"},
    {"SohAfterAFragmentWasCountedDoesNotRearm",
     {{0, Part1, "", 0}, {1000, "x", "", 1}, {4000, "\x01", "", 2}, {5000, "y", NAK8, 2}},
     "",
     Part1 + "x\x01y"},
    {"StartOfTheNextFrameAfterEotStaysAndArmsTheDeadline",
     {{0, stb("AB") + Part1, ACK8, 0}, {4000, Part2, "", 1}, {5000, "zz", NAK8, 1}},
     "AB",
     Part1 + Part2 + "zz"},
    {"BytesAfterEotWithoutSohStayWithoutReplyAndStartTheNextFrame",
     {{0, stb("AB") + "zz", ACK8, 0}, {10, Whole, ACK8, 0}},
     "AB,AB,CD",
     ""},
};

struct ReceivePathTest : ProtocolFixture {};

TEST_F(ReceivePathTest, ReplayedStreamsGetExactRepliesAndState) {
    for (const ReplayCase& c : ReplayCases) {
        SCOPED_TRACE(c.name);
        ConnectionTable fresh;
        fresh.ensureIndex(3);
        table = fresh;
        const qint64 start = clock.monotonicMs();
        for (const Step& s : c.steps) {
            clock.advanceMs(start + s.atMs - clock.monotonicMs());
            EXPECT_EQ(arrive(s.bytes).toHex(' '), s.reply.toHex(' ')) << "at " << s.atMs;
            EXPECT_EQ(table.FragmentCount[1], s.fragments) << "at " << s.atMs;
        }
        EXPECT_EQ(state().CodeList, c.codeListAfter);
        EXPECT_EQ(table.ReceiveBuffer[1], c.bufferAfter);
        clock.advanceMs(60'000);
    }
    EXPECT_EQ(logText(), "");
}

TEST_F(ReceivePathTest, CompleteFrameStoresResultAndUpdatesTheRow) {
    clock.advanceMs(3'600'000);
    EXPECT_EQ(arrive(frame("IST", "RUN MODE,a,b,1234567,x")), ACK8);
    EXPECT_EQ(table.LastResult[1], "Status and ID Received");
    EXPECT_EQ(rows.rowText[1], "1234");
    EXPECT_EQ(rows.lastUpdated[1], "5/1/2012 11:15:30 AM");
    EXPECT_FALSE(rows.lastUpdated.count(2));
}

TEST_F(ReceivePathTest, EotAloneIsNotParsedNorEchoedButUpdatesTheRow) {
    debugMode = true;
    settings.ArchiveRawFile = "YES";
    table.LastResult[1] = "earlier";
    EXPECT_EQ(arrive("\x04"), ACK8);
    EXPECT_EQ(table.LastResult[1], "earlier");
    EXPECT_EQ(rows.lastUpdated[1], "5/1/2012 10:15:30 AM");
    EXPECT_EQ(debug.text, "<SENT> <ACK8>\r\n");
    EXPECT_EQ(raw[1].Lines, QByteArrayList{"<SENT><ACK8>"});
}

// A frame with two STX: one rendering shows only the first as a token.
TEST_F(ReceivePathTest, TrafficIsEchoedAndRecordedByDebugModeAndExactArchiveSetting) {
    const QByteArray twoStx = QByteArray("\x01"
                                         "1RST\x02"
                                         "a\x02"
                                         "b\x03\x04");
    const QByteArray received = "x<SOH>1RST<STX>a\x02"
                                "b<ETX><EOT>";
    const QByteArray debugText = "<SENT> <NAK8>\r\n<RECIVED> " + received + "\r\n<SENT> <ACK8>\r\n";
    const QByteArrayList rawLines = {"<SENT><NAK8>", "<RECIVED>" + received, "<SENT><ACK8>"};
    struct Case {
        bool debugOn;
        const char* archive;
        bool echoed;
        bool recorded;
    } cases[] = {
        {false, "NO", false, false}, {true, "NO", true, false},  {false, "YES", false, true},
        {true, "YES", true, true},   {true, "yes", true, false}, {false, "YES ", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.archive) + (c.debugOn ? " debug" : ""));
        debugMode = c.debugOn;
        settings.ArchiveRawFile = c.archive;
        debug.text.clear();
        raw.drop(1);
        EXPECT_EQ(arrive("x"), NAK8);
        EXPECT_EQ(arrive(twoStx), ACK8);
        EXPECT_EQ(table.LastResult[1], "ZNR Reset");
        EXPECT_EQ(debug.text, c.echoed ? debugText : "");
        EXPECT_EQ(raw[1].Lines, c.recorded ? rawLines : QByteArrayList());
    }
}

TEST_F(ReceivePathTest, ReplyThatCannotBeSentIsLoggedAndEndsTheArrival) {
    settings.ArchiveRawFile = "YES";
    arrive(Part1 + Part2);
    replyFails = true;
    arrive(Part3, 1, ReceivePath::SocketHandler);
    EXPECT_EQ(state().CodeList, "AB,CD"); // parsed before the reply
    EXPECT_EQ(raw[1].Lines.size(), 1);    // the frame, not the reply
    EXPECT_FALSE(rows.lastUpdated.count(1));
    arrive("\x04", 1, ReceivePath::SerialHandler);
    EXPECT_EQ(
        logText(),
        "frmZNRInterface.ZNRSocket_DataArrival, 57, Device I/O error, 5/1/2012 10:15:30 AM\r\n"
        "frmZNRInterface.ZNRComm_OnComm, 57, Device I/O error, 5/1/2012 10:15:30 AM\r\n");
}

TEST_F(ReceivePathTest, FragmentCountBeyond32767IsAnOverflow) {
    table.FragmentCount[1] = 32767;
    table.Deadline[1] = clock.monotonicMs() + 1000;
    EXPECT_EQ(arrive("x", 1, ReceivePath::SerialHandler), "");
    EXPECT_EQ(table.FragmentCount[1], 32767);
    EXPECT_EQ(table.ReceiveBuffer[1], "x");
    EXPECT_EQ(logText(), "frmZNRInterface.ZNRComm_OnComm, 6, Overflow, 5/1/2012 10:15:30 AM\r\n");
}

TEST_F(ReceivePathTest, FortyThousandFragmentsOverflowTheCountButTheFrameIsHandledAtItsEot) {
    const QByteArray frame = Whole.chopped(1); // everything before the EOT: arms the deadline
    EXPECT_EQ(arrive(frame), "");
    QByteArray replies;
    for (int i = 0; i < 40000; ++i) // after the ETX, where the parser does not look
        replies += arrive("x");
    EXPECT_EQ(replies, "");
    EXPECT_EQ(table.FragmentCount[1], 32767);
    EXPECT_EQ(table.ReceiveBuffer[1], frame + QByteArray(40000, 'x'));
    QByteArray overflows;
    for (int i = 32767; i < 40000; ++i)
        overflows += "frmZNRInterface.ZNRSocket_DataArrival, 6, Overflow, 5/1/2012 10:15:30 AM\r\n";
    EXPECT_EQ(logText(), overflows);

    EXPECT_EQ(arrive("\x04"), ACK8);
    EXPECT_EQ(state().CodeList, "AB,CD");
    EXPECT_EQ(table.FragmentCount[1], 0);
    EXPECT_TRUE(table.ReceiveBuffer[1].isEmpty());
}

TEST_F(ReceivePathTest, ArrivalOnIndexOutsideTheTableIsLogged) {
    EXPECT_EQ(arrive(Whole, 4), "");
    EXPECT_EQ(logText(), "frmZNRInterface.ZNRSocket_DataArrival, 9, Subscript out of range, "
                         "5/1/2012 10:15:30 AM\r\n");
}

TEST_F(ReceivePathTest, RowMissingForLastUpdatedIsLoggedAfterTheAck) {
    table.ensureIndex(5);
    EXPECT_EQ(arrive(Whole, 5), ACK8);
    EXPECT_EQ(table.InstrumentState[5].CodeList, "AB,CD");
    EXPECT_EQ(logText(), "frmZNRInterface.ZNRSocket_DataArrival, 9, Subscript out of range, "
                         "5/1/2012 10:15:30 AM\r\n");
}

TEST_F(ReceivePathTest, BufferBeyondOneMebibyteWithoutEotIsEmptiedAndConnectionKeepsWorking) {
    const qsizetype limit = ReceivePath::BufferLimit;
    arrive(Part1);
    arrive(QByteArray(limit - Part1.size(), 'a')); // exactly the limit: kept
    EXPECT_EQ(table.ReceiveBuffer[1].size(), limit);
    EXPECT_EQ(table.FragmentCount[1], 1);
    EXPECT_EQ(arrive("b"), "");
    EXPECT_TRUE(table.ReceiveBuffer[1].isEmpty());
    EXPECT_EQ(table.FragmentCount[1], 0);

    EXPECT_EQ(arrive(Whole), ACK8);
    EXPECT_EQ(state().CodeList, "AB,CD");

    // What follows the last EOT is bounded too.
    EXPECT_EQ(arrive(stb("EF") + Part1 + QByteArray(limit, 'c')), ACK8);
    EXPECT_EQ(state().CodeList, "AB,CD,EF");
    EXPECT_TRUE(table.ReceiveBuffer[1].isEmpty());
    EXPECT_EQ(logText(), "frmZNRInterface.ZNRSocket_DataArrival, 6, Receive buffer overflow: "
                         "1048577 bytes without EOT discarded, 5/1/2012 10:15:30 AM\r\n"
                         "frmZNRInterface.ZNRSocket_DataArrival, 6, Receive buffer overflow: "
                         "1048582 bytes without EOT discarded, 5/1/2012 10:15:30 AM\r\n");
}

// Whatever the parser makes of a frame, the frame is acknowledged.
TEST_F(ReceivePathTest, FramesTheParserRejectsAreStillAcknowledged) {
    struct Case {
        QByteArray frame;
        const char* logged; // failure number and text under "ParseString"
    } cases[] = {
        {"\x01"
         "1RST\x02no end\x04",
         "5, Invalid procedure call or argument"},
        {"\x01"
         "1RST\x03\x02\x04",
         "5, Invalid procedure call or argument"},
        {frame("IST", "RUN MODE,a"), "9, Subscript out of range"},
        {frame("STB", "X100,W1"), nullptr},
        {frame("DAT", "1,abc"), "13, Type mismatch"},
        {frame("ist", "RUN MODE,a,b,1234"), nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frame.toHex(' ').toStdString());
        QFile::remove(QFile::decodeName(log.logPath()));
        EXPECT_EQ(arrive(c.frame), ACK8);
        EXPECT_EQ(logText(),
                  c.logged ? "ParseString, " + QByteArray(c.logged) + ", 5/1/2012 10:15:30 AM\r\n"
                           : QByteArray());
    }
    EXPECT_EQ(table.RowIndex[1], 0);
}

// Random bytes of every value, mixed with real frames, on two connections: nothing breaks, and
// every EOT received gets exactly one ACK8.
TEST_F(ReceivePathTest, BytesOfEveryValueNeverBreakOneAckPerEot) {
    debugMode = true;
    settings.ArchiveRawFile = "YES";
    std::mt19937 random(20120501);
    const QByteArray frames[] = {frame("IST", "RUN MODE,a,b,1234567,x"),
                                 stb("W1,D1"),
                                 frame("DAT", "1,0.5,7"),
                                 frame("ENB", ""),
                                 frame("ERR", "A2CD,E17"),
                                 frame("IST", "CAL. CHECK,a,b,9")};
    qsizetype eots = 0;
    qsizetype acks = 0;
    for (int n = 0; n < 4000; ++n) {
        QByteArray bytes;
        if (random() % 3 == 0) {
            bytes = frames[random() % std::size(frames)];
        } else {
            bytes.resize(qsizetype(random() % 40));
            for (char& b : bytes)
                b = char(random() % 256);
        }
        eots += bytes.count(ctl::EOT);
        clock.advanceMs(qint64(random() % 3000));
        const QByteArray reply = arrive(bytes, 1 + int(random() % 2));
        acks += reply.count(ACK8);
        EXPECT_EQ(reply.size() % 2, 0);
    }
    EXPECT_GT(eots, 100);
    EXPECT_EQ(acks, eots);
}

} // namespace
} // namespace znr::test
