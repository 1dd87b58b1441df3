// Replays of the receive path from tests/data/protocol/replays.txt (its header describes the
// format): arrivals at given times, the exact replies, the state, files and log lines after;
// and the reshaping of a batch's table, which no replay reaches whole.
#include "config/AppSettings.h"
#include "core/DateTimeText.h"
#include "core/ErrorLog.h"
#include "core/LogNames.h"
#include "protocol/Batch.h"
#include "protocol/Channel.h"
#include "protocol/ConnectionRows.h"
#include "protocol/DebugTextSink.h"
#include "protocol/ReceivePath.h"
#include "support/FakeClock.h"
#include "support/FileBytes.h"
#include "support/Frames.h"
#include "support/HeldBatchEnds.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sys/resource.h>
#include <unistd.h>

namespace znr::test {
namespace {

// The connection list (rows exist for the indexes given; any other index has no row) and the
// trouble-shooting window.
struct FakeSinks final : ConnectionRows, DebugTextSink {
    std::map<int, QByteArray> rowText;
    std::map<int, QByteArray> lastUpdated;
    QByteArray debugText;

    void setRowText(int index, const QByteArray& text) override { row(index) = text; }
    void setLastUpdated(int index, const QByteArray& text) override {
        row(index);
        lastUpdated[index] = text;
    }
    void appendText(const QByteArray& t) override { debugText += t; }
    QByteArray& row(int index) {
        if (!rowText.count(index))
            throw Failure::outOfRange();
        return rowText[index];
    }
};

// The folders by the names the replays give them, and the folder each is made as.
const std::map<QByteArray, std::pair<QByteArray AppSettings::*, const char*>> Folders = {
    {"Data", {&AppSettings::dataFolder, "Data Files"}},
    {"CalCheck", {&AppSettings::calCheckFolder, "Cal Check"}},
    {"CheckRods", {&AppSettings::checkRodsFolder, "Check Rods"}},
    {"FastMode", {&AppSettings::fastModeFolder, "Fast Mode"}},
    {"Raw", {&AppSettings::rawFileFolder, "Raw Files"}},
    {"ErrorLog", {&AppSettings::errorLogFolder, "Error Log"}}};

struct Replay {
    std::string name;
    QByteArrayList lines;
    QByteArray layout; // "column", "row", or empty for a case run once in COLUMN layout
};

std::vector<Replay> loadReplays() {
    std::vector<Replay> replays;
    for (const QByteArray& line : testData("protocol/replays.txt").split('\n')) {
        if (line.startsWith("== ")) {
            const QByteArrayList head = line.mid(3).split(' ');
            const std::string name = head[0].toStdString();
            if (head.value(1) == "both")
                replays.insert(replays.end(),
                               {{name + "Column", {}, "column"}, {name + "Row", {}, "row"}});
            else
                replays.push_back({name, {}, {}});
        } else if (!line.isEmpty() && !line.startsWith('#') && !replays.empty()) {
            replays.back().lines.append(line);
            if (replays.back().layout == "row") // and to its COLUMN twin
                replays[replays.size() - 2].lines.append(line);
        }
    }
    return replays;
}

// Where the bracket opened at `open` closes, brackets of its kind nested inside; -1 if never.
qsizetype closing(const QByteArray& text, qsizetype open) {
    const char o = text[open];
    const char c = o == '{' ? '}' : ']';
    int depth = 0;
    for (qsizetype i = open; i < text.size(); ++i) {
        depth += text[i] == o ? 1 : text[i] == c ? -1 : 0;
        if (depth == 0)
            return i;
    }
    return -1;
}

// Byte text: {SOH} {STX} {ETX} {EOT} {CR} {LF} {ACK8} {NAK8}, {xHH} one byte, {N*text} the
// byte text repeated N times, [TYP payload] one whole frame; everything else stands for itself.
QByteArray bytesOf(const QByteArray& text) {
    static const std::map<QByteArray, QByteArray> named = {
        {"SOH", "\x01"}, {"STX", "\x02"}, {"ETX", "\x03"}, {"EOT", "\x04"},
        {"CR", "\r"},    {"LF", "\n"},    {"ACK8", kAck8}, {"NAK8", kNak8}};
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype close = text[i] == '{' || text[i] == '[' ? closing(text, i) : -1;
        if (close < 0) {
            out += text[i];
            continue;
        }
        const QByteArray inner = text.mid(i + 1, close - i - 1);
        const qsizetype star = inner.indexOf('*');
        if (text[i] == '[')
            out += wireFrame(inner.left(3).constData(), bytesOf(inner.mid(4)));
        else if (named.count(inner))
            out += named.at(inner);
        else if (star > 0)
            out += bytesOf(inner.mid(star + 1)).repeated(inner.left(star).toLongLong());
        else
            out += char(inner.mid(1).toInt(nullptr, 16)); // xHH
        i = close;
    }
    return out;
}

// A fresh run per case: every folder in a temp folder, channels 1..3 with rows.
struct ReplayTest : ::testing::TestWithParam<Replay> {
    TempDir dir;
    AppSettings settings;
    FakeClock clock;
    ErrorLog log{settings.errorLogFolder, clock};
    std::map<int, Channel> channels;
    FakeSinks rows;
    bool debugMode = false;
    ProtocolContext ctx{settings, log, clock, rows};
    ReceivePath path{ctx, debugMode, rows};
    bool replyFails = false;
    QByteArray expectedLog;
    qint64 start = clock.monotonicMs();
    int index = 1;
    std::string_view handler = logname::SocketReceived;

    ReplayTest() {
        settings.archiveRawFile = "NO";
        settings.archiveDays = 30;
        for (const auto& [key, folder] : Folders)
            settings.*folder.first = dir.sub(folder.second);
        for (int i = 1; i <= 3; ++i) {
            channels.try_emplace(i, i);
            rows.rowText[i] = "N/A";
        }
    }

    ~ReplayTest() override { limitFileSize(-1); }

    // Writes past `bytes` fail (with EFBIG, its signal ignored); -1 lifts the limit.
    static void limitFileSize(qint64 bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes < 0 ? RLIM_INFINITY : rlim_t(bytes), RLIM_INFINITY};
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    }

    // One arrival on the command's channel; the bytes replied to it.
    QByteArray arrive(const QByteArray& bytes) {
        QByteArray replies;
        const ReplyFn reply = [this, &replies](const QByteArray& r) {
            if (replyFails)
                throw Failure::fromErrno(EPIPE);
            replies += r;
        };
        path.onArrival(channels.at(index), bytes, reply, handler);
        commitHeldBatchEnds(path, channels.at(index), reply, handler);
        return replies;
    }

    QByteArray& folder(const QByteArray& key) { return settings.*Folders.at(key).first; }
    QByteArray pathIn(const QByteArray& text) const {
        return text.startsWith('/') || text.isEmpty() ? text : dir.folder() + text;
    }
    // "cmd@N" or "cmd@Ns" (serial): the channel and handler the command is for.
    QByteArray target(const QByteArray& word) {
        const QByteArrayList parts = word.split('@');
        QByteArray at = parts.value(1, "1");
        handler = at.endsWith('s') ? logname::SerialReceived : logname::SocketReceived;
        index = at.endsWith('s') ? at.chopped(1).toInt() : at.toInt();
        return parts[0];
    }

    void set(const QByteArray& key, const QByteArray& text) {
        const QByteArray value = bytesOf(text);
        const QByteArrayList args = value.split('|');
        const std::map<QByteArray, std::function<void()>> setters = {
            {"archive", [&] { settings.archiveRawFile = value; }},
            {"debug", [&] { debugMode = value == "on"; }},
            {"checkrod", [&] { settings.checkRodId = value; }},
            {"replyfails", [&] { replyFails = value == "on"; }},
            {"folder", [&] { folder(args[0].trimmed()) = pathIn(args.value(1).trimmed()); }},
            {"rawlimit", [&] { channels.at(index).batch.raw.byteLimit = value.toLongLong(); }},
            {"channel", [&] { channels.try_emplace(value.toInt(), value.toInt()); }},
            {"fragments",
             [&] { channels.at(index).receive.fragmentCount = qint16(value.toInt()); }},
            {"filelimit", [&] { limitFileSize(value.toLongLong()); }},
        };
        const auto it = setters.find(key);
        if (it == setters.end())
            FAIL() << "unknown setting " << key.constData();
        it->second();
    }

    QByteArray stateText(const QByteArray& key) {
        Channel& ch = channels.at(index);
        const Batch& b = ch.batch;
        const auto number = [](qint64 n) { return QByteArray::number(n); };
        const auto timeText = [](const auto& t) { return t ? generalDateTime(*t) : "-"; };
        const std::map<QByteArray, std::function<QByteArray()>> states = {
            {"fragments", [&] { return number(ch.receive.fragmentCount); }},
            {"buffer", [&] { return ch.receive.buffer; }},
            {"result", [&] { return ch.receive.lastResult; }},
            {"codes", [&] { return b.codeList; }},
            {"codecount", [&] { return number(b.codeCount()); }},
            {"mode", [&] { return b.mode; }},
            {"id", [&] { return b.instrumentId; }},
            {"batchcode", [&] { return b.batchCode; }},
            {"rows", [&] { return number(b.rowCount) + ' ' + number(b.rowIndex); }},
            {"started", [&] { return timeText(b.startTime); }},
            {"dated", [&] { return timeText(b.dateStamp); }},
            {"readings", [&] { return b.readings ? number(b.readings->storedCells()) : "-"; }},
            {"rowtext", [&] { return rows.rowText.count(index) ? rows.rowText[index] : "-"; }},
            {"updated",
             [&] { return rows.lastUpdated.count(index) ? rows.lastUpdated[index] : "-"; }},
            {"raw", [&] { return b.raw.lines.join('|') + " " + b.raw.id + "/" + b.raw.code; }},
            {"debug", [&] { return rows.debugText; }},
        };
        const auto it = states.find(key);
        return it != states.end() ? it->second() : "unknown state " + key;
    }

    void run(const QByteArray& line) {
        const qsizetype space = line.indexOf(' ');
        const QByteArray command = target(space < 0 ? line : line.left(space));
        const QByteArray rest = space < 0 ? QByteArray() : line.mid(space + 1);
        const qsizetype keyEnd = rest.indexOf(' ');
        const QByteArray key = keyEnd < 0 ? rest : rest.left(keyEnd);
        const QByteArray value = keyEnd < 0 ? QByteArray() : rest.mid(keyEnd + 1);
        if (command == "at") {
            clock.advanceMs(start + rest.toLongLong() - clock.monotonicMs());
        } else if (command == "send") {
            const qsizetype arrow = rest.lastIndexOf(" =>");
            ASSERT_GE(arrow, 0) << "send without =>";
            EXPECT_EQ(arrive(bytesOf(rest.left(arrow))).toHex(' '),
                      bytesOf(rest.mid(arrow + 3).trimmed()).toHex(' '));
        } else if (command == "ack") {
            EXPECT_EQ(arrive(wireFrame(rest.left(3).constData(), bytesOf(rest.mid(4)))), kAck8);
        } else if (command == "set") {
            set(key, value);
        } else if (command == "expect") {
            EXPECT_EQ(stateText(key), bytesOf(value)) << key.constData();
        } else if (command == "file") {
            const QByteArrayList args = rest.split('|');
            const QByteArray known = args[2].trimmed();
            const QByteArray expected =
                known.startsWith('@')
                    ? testData(
                          ("protocol/" + known.mid(1).replace("%L", GetParam().layout)).constData())
                    : bytesOf(known);
            EXPECT_EQ(readBytes(folder(args[0].trimmed()) + args[1].trimmed()), expected);
        } else if (command == "files") {
            QByteArrayList args = rest.split('|');
            const QByteArray where = args.takeFirst().trimmed();
            for (QByteArray& name : args)
                name = name.trimmed();
            EXPECT_EQ(listFiles(where == "Root" ? dir.folder() : folder(where)), args);
        } else if (command == "link") { // link Folder | name | target
            const QByteArrayList args = rest.split('|');
            const QByteArray path = folder(args[0].trimmed()) + args[1].trimmed();
            ASSERT_EQ(::symlink(args[2].trimmed().constData(), path.constData()), 0);
        } else if (command == "log") {
            expectedLog += rest + "\r\n";
        } else if (command == "restart") {
            channels.at(index).restart();
        } else {
            FAIL() << "unknown command " << command.constData();
        }
    }
};

TEST_P(ReplayTest, RepliesStateFilesAndLogAreExact) {
    settings.dataLayoutColumn = GetParam().layout != "row";
    for (const QByteArray& line : GetParam().lines) {
        SCOPED_TRACE(line.toStdString());
        run(line);
    }
    EXPECT_EQ(readBytes(settings.errorLogFolder + "ZNRError.log").replace(dir.folder(), "{DIR}"),
              expectedLog);
}

INSTANTIATE_TEST_SUITE_P(Replays, ReplayTest, ::testing::ValuesIn(loadReplays()),
                         [](const auto& info) { return info.param.name; });

// A narrower table keeps the cells of the rows before the new last row in shared columns.
TEST(Batch, ReshapeKeepsRowsBeforeTheNewLastRowInSharedColumns) {
    Batch b;
    b.reshape(2, 2);
    b.readings->set(0, 1, 1.5);
    b.readings->set(1, 2, 2.5);
    b.reshape(2, 1); // narrower: row 2 and column 2 go
    EXPECT_EQ(b.readings->cell(0, 1), 1.5);
    b.reshape(2, 2);
    EXPECT_EQ(b.readings->cell(1, 2), std::nullopt);
    b.readings->set(2, 0, 3.0);
    b.reshape(2, 2); // same shape: the last row is emptied all the same
    EXPECT_EQ(b.readings->cell(2, 0), std::nullopt);
    EXPECT_EQ(b.readings->cell(0, 1), 1.5);
    EXPECT_THROW(b.reshape(1, -1), Failure);
    EXPECT_EQ(b.readings->cell(0, 1), 1.5);
    EXPECT_EQ(b.columnBound, 2);
}

} // namespace
} // namespace znr::test
