// What flushing a data file to the disk costs at the end of a batch: appendLines writing a new
// file of 5 or 1,000 reading rows, with and without `durable`, in a folder under /tmp and in one
// under the build folder. Every iteration creates a new file, as every batch of another second
// does, so the durable case also flushes the folder entry. "slowest_ms" is the longest single
// call seen.

#include "core/Files.h"

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>

namespace {

QByteArrayList dataFileLines(int rows) {
    QByteArrayList lines{"1234,100,12/6/2026 9:15:30 AM," + QByteArray::number(rows) + ",3",
                         "W1,D1,T1"};
    for (int r = 0; r < rows; ++r)
        lines.append("0.812,7.8,20.25");
    return lines;
}

// Files are removed in batches outside the timing, so the folder stays small.
void appendNewFiles(benchmark::State& state, const QString& base) {
    const int rows = int(state.range(0));
    const bool durable = state.range(1) != 0;
    QTemporaryDir dir(base + QStringLiteral("/znr-durable-XXXXXX"));
    if (!dir.isValid()) {
        state.SkipWithError("cannot create the folder");
        return;
    }
    const QByteArray folder = QFile::encodeName(dir.path()) + '/';
    const QByteArrayList lines = dataFileLines(rows);
    qint64 n = 0;
    double slowestMs = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        znr::appendLines(folder + "1234 " + QByteArray::number(n++) + ".dat", lines, durable);
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        slowestMs = std::max(slowestMs, took.count());
        if (n % 200 == 0) {
            state.PauseTiming();
            QDir(dir.path()).removeRecursively();
            QDir().mkpath(dir.path());
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["slowest_ms"] = slowestMs;
}

void BM_NewDataFileInTmp(benchmark::State& state) {
    appendNewFiles(state, QStringLiteral("/tmp"));
}

void BM_NewDataFileInBuildFolder(benchmark::State& state) {
    appendNewFiles(state, QStringLiteral(ZNR_BENCH_FOLDER));
}

void cases(benchmark::internal::Benchmark* b) {
    b->ArgNames({"rows", "durable"});
    for (int rows : {5, 1000})
        for (int durable : {0, 1})
            b->Args({rows, durable});
    b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_NewDataFileInTmp)->Apply(cases);
BENCHMARK(BM_NewDataFileInBuildFolder)->Apply(cases);

} // namespace

BENCHMARK_MAIN();
