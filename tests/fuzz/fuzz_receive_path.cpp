// Feeds bytes to the real receive path as a series of arrivals on three connections, through the
// parser, the batch data files and the raw traffic files, all in a scratch folder, and aborts
// when something that must hold whatever an instrument sends does not: every reply is ACK8 or
// NAK8, each EOT delivered gets exactly one ACK8, an arrival without EOT gets at most one NAK8,
// no receive buffer holds more than 1 MiB, no batch holds more than its budget of codes and
// cells, and no file appears outside the configured folders or under a name the program does
// not make.
//
// Input: one byte of flags, one byte giving the number of schedule steps (1..8), three bytes
// per step (arrival length, clock advance, connection: a reconnect before the arrival, or a big
// arrival), then the byte stream. The steps are used in turn, cutting the stream into
// arrivals, until it is used up. Flags: 1 COLUMN layout, 2 debug window open, 4 check-rod ID
// "100", 8 the serial handler's name, 0x80 big arrivals allowed (they are slow, so rare).

#include "FuzzSupport.h"
#include "config/AppSettings.h"
#include "core/ErrorLog.h"
#include "core/LogNames.h"
#include "protocol/Channel.h"
#include "protocol/ConnectionRows.h"
#include "protocol/ControlChars.h"
#include "protocol/DebugTextSink.h"
#include "protocol/ProtocolContext.h"
#include "protocol/RawFolderCleanUp.h"
#include "protocol/ReceivePath.h"
#include "support/FakeClock.h"

#include <cstring>
#include <vector>

namespace {

using namespace znr;
namespace fs = std::filesystem;

constexpr int Connections = 3;
constexpr const char* FolderNames[] = {"Cal Check", "Check Rods", "Data Files",
                                       "Error Log", "Fast Mode",  "Raw Files"};
// Two arrivals of this size without EOT pass the receive buffer's 1 MiB bound.
constexpr qsizetype BigArrival = 600 * 1024;
// "MM-DD-YYYY-HHMMSS.dat"
constexpr qsizetype StampAndExtension = 21;

const QByteArray Ack8(ctl::ACK8.data(), 2);
const QByteArray Nak8(ctl::NAK8.data(), 2);

class Rows final : public ConnectionRows {
public:
    void setRowText(int, const QByteArray&) override {}
    void setLastUpdated(int, const QByteArray&) override {}
};

class DebugText final : public DebugTextSink {
public:
    void appendText(const QByteArray&) override {}
};

bool isSafeNamePart(const QByteArray& part) {
    for (char c : part) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127 || std::strchr("/\\:*?\"<>|", c) != nullptr)
            return false;
    }
    return true;
}

bool isStamp(const QByteArray& s) {
    static constexpr char Shape[] = "00-00-0000-000000.dat";
    if (s.size() != StampAndExtension)
        return false;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const bool digit = s[i] >= '0' && s[i] <= '9';
        if (Shape[i] == '0' ? !digit : s[i] != Shape[i])
            return false;
    }
    return true;
}

// "<ID> MM-DD-YYYY-HHMMSS.dat", the ID at most 4 characters and safe in a file name.
bool isDataFileName(const QByteArray& name) {
    const qsizetype id = name.size() - StampAndExtension - 1;
    return id >= 0 && id <= 4 && name[id] == ' ' && isSafeNamePart(name.left(id)) &&
           isStamp(name.mid(id + 1));
}

// "<ID>_<CODE>_MM-DD-YYYY-HHMMSS.dat", ID at most 4 and code at most 3 characters.
bool isRawFileName(const QByteArray& name) {
    return isRawTrafficFileName(name) && name.size() <= 4 + 1 + 3 + 1 + StampAndExtension &&
           isSafeNamePart(name);
}

// <scratch>/run/<the six folders>: the only places the program may write to.
class FolderTree {
public:
    FolderTree() {
        for (const char* name : FolderNames)
            fs::create_directories(run_ / name);
    }

    QByteArray folder(const char* name) const { return fuzz::folderSetting(run_ / name); }

    void check() const {
        FUZZ_CHECK(fuzz::entryNames(scratch_.path()) == QByteArrayList{"run"});
        QByteArrayList expected;
        for (const char* name : FolderNames)
            expected.append(name);
        FUZZ_CHECK(fuzz::entryNames(run_) == expected);
        for (const char* name : FolderNames) {
            FUZZ_CHECK(fs::is_directory(fs::symlink_status(run_ / name)));
            for (const QByteArray& file : fuzz::entryNames(run_ / name)) {
                FUZZ_CHECK(
                    fs::is_regular_file(fs::symlink_status(run_ / name / file.toStdString())));
                checkFileName(name, file);
            }
        }
    }

    void clean() const {
        for (const char* name : FolderNames)
            fuzz::emptyFolder(run_ / name);
    }

private:
    static void checkFileName(const char* folder, const QByteArray& file) {
        if (std::strcmp(folder, "Error Log") == 0)
            FUZZ_CHECK(file == "ZNRError.log");
        else if (std::strcmp(folder, "Raw Files") == 0)
            FUZZ_CHECK(isRawFileName(file));
        else
            FUZZ_CHECK(isDataFileName(file));
    }

    fuzz::ScratchFolder scratch_{"znr-fuzz-receive"};
    fs::path run_ = scratch_.path() / "run";
};

struct Step {
    std::uint8_t length; // bytes of the stream this arrival takes (0: an event without data)
    std::uint8_t delay;  // clock advance before the arrival, see delayMs()
    std::uint8_t extra;  // connection (1 + extra % 3); 0xFE: reconnected first; 0xFF: big
};

// Mostly short gaps, sometimes past the 5-second frame deadline.
qint64 delayMs(std::uint8_t code) {
    if (code < 128)
        return code * 10;
    if (code < 240)
        return (code - 128) * 50;
    return 5000 + (code - 240) * 1000;
}

// What one batch holds stays within its budget, whatever was sent.
void checkBatchBounds(const Batch& b) {
    FUZZ_CHECK(b.codeCount() <= MaxCodesPerBatch);
    FUZZ_CHECK(qint64(b.rowCount) * b.codeCount() <= MaxCellsPerBatch);
    FUZZ_CHECK(!b.readings || b.readings->storedCells() <= MaxCellsPerBatch);
}

// One run: fresh state, every folder in the tree, archiving on.
struct Run {
    AppSettings settings;
    test::FakeClock clock;
    ErrorLog log{settings.ErrorLogFolder, clock};
    Channels channels;
    Rows rows;
    DebugText debug;
    bool debugMode;
    ProtocolContext ctx{settings, log, clock, rows,
                        [this](int, const QByteArray& path) { checkDataFile(path); }};
    ReceivePath path{ctx, debugMode, debug};

    Run(const FolderTree& tree, std::uint8_t flags) : debugMode((flags & 2) != 0) {
        settings.DataLayoutColumn = (flags & 1) != 0;
        settings.CheckRodID = (flags & 4) != 0 ? "100" : "";
        settings.ArchiveRawFile = "YES";
        settings.ArchiveDays = 30;
        settings.DataFolder = tree.folder("Data Files");
        settings.ErrorLogFolder = tree.folder("Error Log");
        settings.CalCheckFolder = tree.folder("Cal Check");
        settings.CheckRodsFolder = tree.folder("Check Rods");
        settings.FastModeFolder = tree.folder("Fast Mode");
        settings.RawFileFolder = tree.folder("Raw Files");
        for (int i = 1; i <= Connections; ++i)
            channels.ensure(i);
    }

    // A data file is written straight into the folder of one of the four modes.
    void checkDataFile(const QByteArray& path) const {
        const QByteArray* folders[] = {&settings.DataFolder, &settings.CalCheckFolder,
                                       &settings.CheckRodsFolder, &settings.FastModeFolder};
        bool inAFolder = false;
        for (const QByteArray* folder : folders)
            inAFolder = inAFolder ||
                        (path.startsWith(*folder) && isDataFileName(path.mid(folder->size())) &&
                         !path.mid(folder->size()).contains('/'));
        FUZZ_CHECK(inAFolder);
    }

    // One arrival and what must hold after it.
    void arrive(int index, const QByteArray& bytes, std::string_view handler) {
        QByteArrayList replies;
        path.onArrival(
            channels.at(index), bytes, [&](const QByteArray& reply) { replies.append(reply); },
            handler);
        const qsizetype acks = replies.count(Ack8);
        const qsizetype naks = replies.count(Nak8);
        FUZZ_CHECK(acks + naks == replies.size());
        if (bytes.contains(ctl::EOT)) {
            FUZZ_CHECK(acks == bytes.count(ctl::EOT));
            FUZZ_CHECK(naks == 0);
        } else {
            FUZZ_CHECK(acks == 0);
            FUZZ_CHECK(naks <= 1);
        }
        for (int i = 1; i <= Connections; ++i) {
            const Channel& channel = channels.at(i);
            FUZZ_CHECK(channel.receive.buffer.size() <= ReceivePath::BufferLimit);
            FUZZ_CHECK(!channel.receive.buffer.contains(ctl::EOT));
            FUZZ_CHECK(channel.receive.fragmentCount >= 0);
            checkBatchBounds(channel.batch);
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const FolderTree tree;
    static unsigned long runs = 0;
    if (++runs % 128 == 0)
        tree.clean(); // data and raw files pile up: the fake clock repeats its file names

    fuzz::Input in(data, size);
    const std::uint8_t flags = in.byte();
    std::vector<Step> schedule(1 + in.byte() % 8);
    for (Step& s : schedule)
        s = {in.byte(), in.byte(), in.byte()};
    const QByteArray stream = in.rest();
    const std::string_view handler =
        (flags & 8) != 0 ? logname::SerialReceived : logname::SocketReceived;

    Run run(tree, flags);
    qsizetype pos = 0;
    const qsizetype maxArrivals = stream.size() + qsizetype(schedule.size());
    for (qsizetype a = 0; a < maxArrivals; ++a) {
        const Step& s = schedule[std::size_t(a) % schedule.size()];
        if (pos >= stream.size() && a >= qsizetype(schedule.size()))
            break;
        QByteArray bytes = stream.mid(pos, s.length);
        pos += bytes.size();
        if ((flags & 0x80) != 0 && s.extra == 0xFF && !bytes.isEmpty() && !bytes.contains(ctl::EOT))
            bytes = bytes.repeated(BigArrival / bytes.size() + 1);
        run.clock.advanceMs(delayMs(s.delay));
        if (s.extra == 0xFE)
            run.channels.at(1 + s.extra % Connections).restart();
        run.arrive(1 + s.extra % Connections, bytes, handler);
    }
    tree.check();
    return 0;
}
