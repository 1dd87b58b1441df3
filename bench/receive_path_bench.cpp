// Cost per frame of the receive path and the parser: one DAT frame stored into a batch, and the
// ENB frame that ends a batch of 1,000 rows and writes its files into a temporary folder.

#include "config/AppSettings.h"
#include "core/Clock.h"
#include "core/ErrorLog.h"
#include "core/LogNames.h"
#include "protocol/Channel.h"
#include "protocol/ConnectionRows.h"
#include "protocol/DebugTextSink.h"
#include "protocol/ReceivePath.h"

#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

using namespace znr;

struct NoRows final : ConnectionRows {
    void setRowText(int, const QByteArray&) override {}
    void setLastUpdated(int, const QByteArray&) override {}
};

struct NoDebug final : DebugTextSink {
    void appendText(const QByteArray&) override {}
};

QByteArray frame(const char* type, const QByteArray& payload) {
    return "\x01"
           "1" +
           QByteArray(type) + '\x02' + payload + "\x03\x04";
}

struct Run {
    QTemporaryDir dir;
    AppSettings settings;
    SystemClock clock;
    ErrorLog log{settings.errorLogFolder, clock};
    Channel channel{1};
    NoRows rows;
    NoDebug debug;
    bool debugMode = false;
    ProtocolContext ctx{settings, log, clock, rows};
    ReceivePath path{ctx, debugMode, debug};
    qint64 replies = 0;
    const ReplyFn reply = [this](const QByteArray&) { ++replies; };

    explicit Run(bool archive) {
        const QByteArray base = QFile::encodeName(dir.path()) + '/';
        for (const char* sub : {"Data", "Log", "Raw"})
            QDir(dir.path()).mkdir(QString::fromLatin1(sub));
        settings.dataLayoutColumn = true;
        settings.dataFolder = base + "Data/";
        settings.errorLogFolder = base + "Log/";
        settings.rawFileFolder = base + "Raw/";
        settings.archiveRawFile = archive ? "YES" : "NO";
        settings.archiveDays = 30;
    }
    void arrive(const QByteArray& bytes) {
        path.onArrival(channel, bytes, reply, logname::SocketReceived);
    }
    void startBatch() {
        arrive(frame("IST", "RUN MODE,a,b,1234567,x"));
        arrive(frame("STB", "X100,W1,D1,T1"));
    }
};

void BM_DatFrame(benchmark::State& state) {
    Run run(state.range(0) != 0);
    run.startBatch();
    const QByteArray dat = frame("DAT", "1,0.812,7.80,20.25");
    for (auto _ : state) {
        run.arrive(dat);
        Batch& batch = run.channel.batch;
        if (batch.rowIndex == 1000) { // keep the batch at a realistic size
            state.PauseTiming();
            batch.rowIndex = 0;
            batch.rowCount = 0;
            batch.raw = RawTrafficRecord();
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DatFrame)->ArgName("archive")->Arg(0)->Arg(1);

void BM_EnbEndingBatchOf1000Rows(benchmark::State& state) {
    Run run(state.range(0) != 0);
    const QByteArray dat = frame("DAT", "1,0.812,7.80,20.25");
    const QByteArray enb = frame("ENB", "");
    for (auto _ : state) {
        state.PauseTiming();
        run.startBatch();
        for (int r = 0; r < 1000; ++r)
            run.arrive(dat);
        state.ResumeTiming();
        run.arrive(enb);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EnbEndingBatchOf1000Rows)
    ->ArgName("archive")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
