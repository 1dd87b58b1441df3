// Feeds bytes to the real receive path as a series of arrivals on three connections, through the
// parser, the batch data files and the raw traffic files, all in a scratch folder, and checks
// what must hold whatever an instrument sends: every reply is ACK8 or NAK8, each EOT gets one
// ACK8, an arrival without EOT at most one NAK8, no receive buffer passes 1 MiB, no batch its
// budget of codes and cells, and no file appears outside the folders or under another name.
//
// Input: one byte of flags, one byte giving the number of schedule steps (1..8), three bytes
// per step (arrival length, clock advance, connection: a reconnect before the arrival, or a big
// arrival), then the byte stream, cut into arrivals by the steps in turn. Flags: 1 COLUMN
// layout, 2 debug window open, 4 check-rod ID "100", 8 the serial handler's name, 0x80 big
// arrivals allowed (they are slow, so rare).

#include "FuzzSupport.h"
#include "config/AppSettings.h"
#include "core/ErrorLog.h"
#include "core/LogNames.h"
#include "protocol/Channel.h"
#include "protocol/ConnectionRows.h"
#include "protocol/ControlChars.h"
#include "protocol/DebugTextSink.h"
#include "protocol/ReceivePath.h"
#include "support/FakeClock.h"

#include <QRegularExpression>
#include <array>
#include <map>
#include <vector>

namespace {

using namespace znr;
namespace fs = std::filesystem;

constexpr int Connections = 3;
// Two arrivals of this size without EOT pass the receive buffer's 1 MiB bound.
constexpr qsizetype BigArrival = 600 * 1024;

// Data files "<ID> <stamp>.dat", raw files "<ID>_<CODE>_<stamp>.dat": ID at most 4 and CODE at
// most 3 characters that are safe in a file name.
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

// Only the six folders, each holding only regular files of its own names; with `clean` they
// are emptied (the fake clock repeats file names, so files pile up).
void checkFolders(const fs::path& root, bool clean) {
    QByteArrayList names;
    for (const Folder& f : Folders)
        names.append(f.name);
    FUZZ_CHECK(fuzz::entryNames(root) == names);
    for (const Folder& f : Folders) {
        for (const auto& entry : fs::directory_iterator(root / f.name)) {
            FUZZ_CHECK(fs::is_regular_file(entry.symlink_status()));
            const QString name = QString::fromLatin1(entry.path().filename().native());
            FUZZ_CHECK(f.files->match(name).hasMatch());
            if (clean)
                fs::remove(entry.path());
        }
    }
}

// Mostly short gaps, sometimes past the 5-second frame deadline.
qint64 delayMs(std::uint8_t code) {
    if (code < 128)
        return code * 10;
    return code < 240 ? (code - 128) * 50 : 5000 + (code - 240) * 1000;
}

// One run: fresh state, every folder under `root`, archiving on.
struct Run {
    AppSettings settings;
    test::FakeClock clock;
    ErrorLog log{settings.ErrorLogFolder, clock};
    std::map<int, Channel> channels;
    Sinks sinks;
    bool debugMode;
    ProtocolContext ctx{settings, log, clock, sinks};
    ReceivePath path{ctx, debugMode, sinks};

    Run(const fs::path& root, std::uint8_t flags) : debugMode((flags & 2) != 0) {
        settings.DataLayoutColumn = (flags & 1) != 0;
        settings.CheckRodID = (flags & 4) != 0 ? "100" : "";
        settings.ArchiveRawFile = "YES";
        settings.ArchiveDays = 30;
        for (const Folder& f : Folders)
            settings.*f.setting = QByteArray::fromStdString((root / f.name).native()) + '/';
        for (int i = 1; i <= Connections; ++i)
            channels.try_emplace(i, i);
    }

    void arrive(int index, const QByteArray& bytes, std::string_view handler) {
        static const QByteArray Ack8(ctl::ACK8.data(), 2);
        static const QByteArray Nak8(ctl::NAK8.data(), 2);
        QByteArrayList replies;
        path.onArrival(
            channels.at(index), bytes, [&](const QByteArray& reply) { replies.append(reply); },
            handler);
        const qsizetype acks = replies.count(Ack8);
        const qsizetype naks = replies.count(Nak8);
        FUZZ_CHECK(acks + naks == replies.size() && acks == bytes.count(ctl::EOT));
        FUZZ_CHECK(naks <= (bytes.contains(ctl::EOT) ? 0 : 1));
        for (int i = 1; i <= Connections; ++i) {
            const Channel& channel = channels.at(i);
            const Batch& b = channel.batch;
            FUZZ_CHECK(channel.receive.buffer.size() <= ReceivePath::BufferLimit);
            FUZZ_CHECK(!channel.receive.buffer.contains(ctl::EOT));
            FUZZ_CHECK(b.codeCount() <= MaxCodesPerBatch);
            FUZZ_CHECK(qint64(b.rowCount) * b.codeCount() <= MaxCellsPerBatch);
            FUZZ_CHECK(!b.readings || b.readings->storedCells() <= MaxCellsPerBatch);
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fs::path root = [] {
        for (const Folder& f : Folders)
            fs::create_directories(fuzz::scratchFolder() / "run" / f.name);
        return fuzz::scratchFolder() / "run";
    }();
    static unsigned long runs = 0;

    fuzz::Input in(data, size);
    const std::uint8_t flags = in.byte();
    std::vector<std::array<std::uint8_t, 3>> schedule(1 + in.byte() % 8); // length, delay, extra
    for (auto& s : schedule)
        s = {in.byte(), in.byte(), in.byte()};
    const QByteArray stream = in.rest();
    const std::string_view handler =
        (flags & 8) != 0 ? logname::SerialReceived : logname::SocketReceived;

    Run run(root, flags);
    qsizetype pos = 0;
    const std::size_t maxArrivals = std::size_t(stream.size()) + schedule.size();
    for (std::size_t a = 0; a < maxArrivals && (pos < stream.size() || a < schedule.size()); ++a) {
        const auto [length, delay, extra] = schedule[a % schedule.size()];
        QByteArray bytes = stream.mid(pos, length);
        pos += bytes.size();
        if ((flags & 0x80) != 0 && extra == 0xFF && !bytes.isEmpty() && !bytes.contains(ctl::EOT))
            bytes = bytes.repeated(BigArrival / bytes.size() + 1);
        run.clock.advanceMs(delayMs(delay));
        if (extra == 0xFE)
            run.channels.at(1 + extra % Connections).restart();
        run.arrive(1 + extra % Connections, bytes, handler);
    }
    checkFolders(root, ++runs % 128 == 0);
    FUZZ_CHECK(fuzz::entryNames(fuzz::scratchFolder()) == QByteArrayList{"run"});
    return 0;
}
