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
#include "protocol/ReceivePath.h"
#include "support/Channels.h"
#include "support/FakeClock.h"

#include <vector>

namespace {

using namespace znr;
namespace fs = std::filesystem;

constexpr int Connections = 3;
// Two arrivals of this size without EOT pass the receive buffer's 1 MiB bound.
constexpr qsizetype BigArrival = 600 * 1024;

const QByteArray Ack8(ctl::ACK8.data(), 2);
const QByteArray Nak8(ctl::NAK8.data(), 2);

// The six folders, the settings naming them, and the names of the files each may hold: "<ID>
// <stamp>.dat" for data files, "<ID>_<CODE>_<stamp>.dat" for raw files, ID at most 4 and CODE
// at most 3 characters safe in a file name.
#define SAFE "[^\\x00-\\x1f\\x7f/\\\\:*?\"<>|]"
#define STAMP "[0-9]{2}-[0-9]{2}-[0-9]{4}-[0-9]{6}\\.dat"
const QRegularExpression DataName("\\A" SAFE "{0,4} " STAMP "\\z");
const QRegularExpression RawName("\\A" SAFE "{0,4}_" SAFE "{0,3}_" STAMP "\\z");
const QRegularExpression LogName("\\AZNRError\\.log\\z");
const struct Folder {
    const char* name;
    QByteArray AppSettings::*setting;
    const QRegularExpression* files;
} Folders[] = {{"Cal Check", &AppSettings::CalCheckFolder, &DataName},
               {"Check Rods", &AppSettings::CheckRodsFolder, &DataName},
               {"Data Files", &AppSettings::DataFolder, &DataName},
               {"Error Log", &AppSettings::ErrorLogFolder, &LogName},
               {"Fast Mode", &AppSettings::FastModeFolder, &DataName},
               {"Raw Files", &AppSettings::RawFileFolder, &RawName}};

// Stands in for the connection list and the trouble-shooting window.
struct Sinks final : ConnectionRows, DebugTextSink {
    void setRowText(int, const QByteArray&) override {}
    void setLastUpdated(int, const QByteArray&) override {}
    void appendText(const QByteArray&) override {}
};

// <scratch>/run/<the six folders>: the only places the program may write to.
struct FolderTree {
    fuzz::ScratchFolder scratch{"znr-fuzz-receive"};
    fs::path run = scratch.path() / "run";

    FolderTree() {
        for (const Folder& f : Folders)
            fs::create_directories(run / f.name);
    }
    QByteArray setting(const Folder& f) const {
        return QByteArray::fromStdString((run / f.name).native()) + '/';
    }
    void check() const {
        FUZZ_CHECK(fuzz::entryNames(scratch.path()) == QByteArrayList{"run"});
        QByteArrayList expected;
        for (const Folder& f : Folders)
            expected.append(f.name);
        FUZZ_CHECK(fuzz::entryNames(run) == expected);
        for (const Folder& f : Folders) {
            FUZZ_CHECK(fs::is_directory(fs::symlink_status(run / f.name)));
            for (const QByteArray& file : fuzz::entryNames(run / f.name)) {
                FUZZ_CHECK(
                    fs::is_regular_file(fs::symlink_status(run / f.name / file.toStdString())));
                FUZZ_CHECK(fuzz::matches(*f.files, file));
            }
        }
    }
    // Data and raw files pile up: the fake clock repeats their names.
    void clean() const {
        for (const Folder& f : Folders)
            for (const auto& entry : fs::directory_iterator(run / f.name))
                fs::remove_all(entry.path());
    }
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
    return code < 240 ? (code - 128) * 50 : 5000 + (code - 240) * 1000;
}

// One run: fresh state, every folder in the tree, archiving on.
struct Run {
    AppSettings settings;
    test::FakeClock clock;
    ErrorLog log{settings.ErrorLogFolder, clock};
    test::Channels channels;
    Sinks sinks;
    bool debugMode;
    ProtocolContext ctx{settings, log, clock, sinks,
                        [this](int, const QByteArray& path) { checkDataFile(path); }};
    ReceivePath path{ctx, debugMode, sinks};

    Run(const FolderTree& tree, std::uint8_t flags) : debugMode((flags & 2) != 0) {
        settings.DataLayoutColumn = (flags & 1) != 0;
        settings.CheckRodID = (flags & 4) != 0 ? "100" : "";
        settings.ArchiveRawFile = "YES";
        settings.ArchiveDays = 30;
        for (const Folder& f : Folders)
            settings.*f.setting = tree.setting(f);
        for (int i = 1; i <= Connections; ++i)
            channels.ensure(i);
    }

    // A data file is written straight into the folder of one of the four modes.
    void checkDataFile(const QByteArray& path) const {
        const qsizetype slash = path.lastIndexOf('/') + 1;
        bool inAFolder = false;
        for (const Folder& f : Folders)
            inAFolder =
                inAFolder || (f.files == &DataName && path.left(slash) == settings.*f.setting);
        FUZZ_CHECK(inAFolder && fuzz::matches(DataName, path.mid(slash)));
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
        FUZZ_CHECK(acks == bytes.count(ctl::EOT));
        FUZZ_CHECK(bytes.contains(ctl::EOT) ? naks == 0 : naks <= 1);
        for (int i = 1; i <= Connections; ++i) {
            const Channel& channel = channels.at(i);
            const Batch& b = channel.batch;
            FUZZ_CHECK(channel.receive.buffer.size() <= ReceivePath::BufferLimit);
            FUZZ_CHECK(!channel.receive.buffer.contains(ctl::EOT));
            FUZZ_CHECK(channel.receive.fragmentCount >= 0);
            FUZZ_CHECK(b.codeCount() <= MaxCodesPerBatch);
            FUZZ_CHECK(qint64(b.rowCount) * b.codeCount() <= MaxCellsPerBatch);
            FUZZ_CHECK(!b.readings || b.readings->storedCells() <= MaxCellsPerBatch);
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const FolderTree tree;
    static unsigned long runs = 0;
    if (++runs % 128 == 0)
        tree.clean();

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
    const std::size_t maxArrivals = std::size_t(stream.size()) + schedule.size();
    for (std::size_t a = 0; a < maxArrivals && (pos < stream.size() || a < schedule.size()); ++a) {
        const Step& s = schedule[a % schedule.size()];
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
