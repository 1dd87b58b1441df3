// Feeds bytes to the real receive path as a series of arrivals on three connections, with every
// folder in a scratch folder, and checks what must hold whatever an instrument sends: every
// reply is ACK8 or NAK8, each EOT gets one ACK8, an arrival without EOT at most one NAK8, no
// receive buffer passes its bound, no batch its budget of cells, and no file lands outside the
// six folders.
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
#include "support/HeldBatchEnds.h"

#include <array>
#include <map>
#include <vector>

namespace {

using namespace znr;
namespace fs = std::filesystem;

// Two arrivals of this size without EOT pass the receive buffer's 1 MiB bound.
constexpr qsizetype BigArrival = 600 * 1024;

const std::pair<const char*, QByteArray AppSettings::*> Folders[] = {
    {"Cal Check", &AppSettings::calCheckFolder}, {"Check Rods", &AppSettings::checkRodsFolder},
    {"Data Files", &AppSettings::dataFolder},    {"Error Log", &AppSettings::errorLogFolder},
    {"Fast Mode", &AppSettings::fastModeFolder}, {"Raw Files", &AppSettings::rawFileFolder}};

// Stands in for the connection list and the trouble-shooting window.
struct Sinks final : ConnectionRows, DebugTextSink {
    void setRowText(int, const QByteArray&) override {}
    void setLastUpdated(int, const QByteArray&) override {}
    void appendText(const QByteArray&) override {}
};

// Mostly short gaps, sometimes past the 5-second frame deadline.
qint64 delayMs(std::uint8_t code) {
    if (code < 128)
        return code * 10;
    return code < 240 ? (code - 128) * 50 : 5000 + (code - 240) * 1000;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fs::path root = fuzz::scratchFolder() / "run";
    static const QByteArray Ack8(ctl::ACK8.data(), 2);
    static const QByteArray Nak8(ctl::NAK8.data(), 2);

    fuzz::Input in(data, size);
    const std::uint8_t flags = in.byte();
    std::vector<std::array<std::uint8_t, 3>> schedule(1 + in.byte() % 8); // length, delay, extra
    for (auto& s : schedule)
        s = {in.byte(), in.byte(), in.byte()};
    const QByteArray stream = in.rest();

    // A fresh run each time (the fake clock repeats file names, so the folders are emptied).
    fs::remove_all(root);
    AppSettings settings;
    settings.dataLayoutColumn = (flags & 1) != 0;
    settings.checkRodId = (flags & 4) != 0 ? "100" : "";
    settings.archiveRawFile = "YES";
    settings.archiveDays = 30;
    QByteArrayList folderNames;
    for (const auto& [name, setting] : Folders) {
        fs::create_directories(root / name);
        settings.*setting = QByteArray::fromStdString((root / name).native()) + '/';
        folderNames.append(name);
    }
    test::FakeClock clock;
    const ErrorLog log(settings.errorLogFolder, clock);
    Sinks sinks;
    const bool debugMode = (flags & 2) != 0;
    ProtocolContext ctx{settings, log, clock, sinks};
    ReceivePath path{ctx, debugMode, sinks};
    std::map<int, Channel> channels;
    for (int i = 1; i <= 3; ++i)
        channels.try_emplace(i, i);
    const std::string_view handler =
        (flags & 8) != 0 ? logname::SerialReceived : logname::SocketReceived;

    qsizetype pos = 0;
    const std::size_t maxArrivals = std::size_t(stream.size()) + schedule.size();
    for (std::size_t a = 0; a < maxArrivals && (pos < stream.size() || a < schedule.size()); ++a) {
        const auto [length, delay, extra] = schedule[a % schedule.size()];
        QByteArray bytes = stream.mid(pos, length);
        pos += bytes.size();
        if ((flags & 0x80) != 0 && extra == 0xFF && !bytes.isEmpty() && !bytes.contains(ctl::EOT))
            bytes = bytes.repeated(BigArrival / bytes.size() + 1);
        clock.advanceMs(delayMs(delay));
        Channel& channel = channels.at(1 + extra % 3);
        if (extra == 0xFE)
            channel.restart();
        QByteArrayList replies;
        const ReplyFn reply = [&](const QByteArray& r) { replies.append(r); };
        path.onArrival(channel, bytes, reply, handler);
        test::commitHeldBatchEnds(path, channel, reply, handler);
        const qsizetype acks = replies.count(Ack8);
        const qsizetype naks = replies.count(Nak8);
        const qsizetype eots = bytes.count(ctl::EOT);
        // Every frame gets one reply (NAK8 only for a batch end whose files failed); an
        // arrival without EOT at most one NAK8.
        FUZZ_CHECK(acks + naks == replies.size() && !channel.holding());
        FUZZ_CHECK(eots > 0 ? acks + naks == eots : acks == 0 && naks <= 1);
        FUZZ_CHECK(channel.receive.buffer.size() <= ReceivePath::BufferLimit);
        const Batch& b = channel.batch;
        FUZZ_CHECK(qint64(b.rowCount) * b.codeCount() <= MaxCellsPerBatch);
        FUZZ_CHECK(!b.readings || b.readings->storedCells() <= MaxCellsPerBatch);
    }
    FUZZ_CHECK(fuzz::entryNames(root) == folderNames);
    return 0;
}
