// How long the Last Batch window takes for a batch of the largest size a batch may have: the
// cost the batch end pays to keep what its data file holds, and the time from a new panel to
// its first complete paint (table and chart). Run under QT_QPA_PLATFORM=offscreen.
#include "core/Clock.h"
#include "core/ErrorLog.h"
#include "protocol/Batch.h"
#include "protocol/DataFile.h"
#include "protocol/FiledBatch.h"
#include "ui/LastBatchPanel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace znr;

namespace {

// A RUN MODE batch of `codes` codes and `rows` reading rows, filled through the parser's own
// steps, every cell holding a reading.
Batch largestBatch(int codes, int rows, const ErrorLog& log) {
    Batch batch;
    batch.mode = "RUN MODE";
    batch.instrumentId = "1234";
    batch.batchCode = "100";
    QByteArrayList fields{"X100"};
    for (int k = 0; k < codes; ++k)
        fields.append(QByteArray(1, char('A' + k % 26)) + char('0' + k / 26 % 10));
    batch.addCodes(fields, log);
    for (int r = 0; r < rows; ++r) {
        QByteArrayList values{QByteArray::number(r + 1)};
        for (int k = 0; k < codes; ++k)
            values.append(QByteArray::number(((r * 7 + k * 13) % 20000 - 10000) / 1000.0, 'f', 3));
        batch.addReadings(values, log);
    }
    return batch;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QByteArray noFolder;
    SystemClock clock;
    ErrorLog log(noFolder, clock);
    const struct { int codes, rows; } shapes[] = {{128, 32767}, {32767, 128}, {2, 32767}};
    std::printf("| codes x rows | cells | data file lines | lines + kept batch | panel to first "
                "paint |\n|---|---|---|---|---|\n");
    for (const auto& shape : shapes) {
        const Batch batch = largestBatch(shape.codes, shape.rows, log);
        const QDateTime now = QDateTime::currentDateTime();
        std::vector<double> linesMs, keptMs, openMs;
        std::shared_ptr<const FiledBatch> filed;
        for (int run = 0; run < 3; ++run) {
            QElapsedTimer t;
            t.start();
            qsizetype bytes = 0;
            writeDataFileLines([&](const QByteArray& line) { bytes += line.size(); }, batch, true,
                               now);
            linesMs.push_back(t.nsecsElapsed() / 1e6);
            t.restart();
            FiledBatchBuilder kept(splitCodes(batch.codeList), batch.rowCount, true);
            writeDataFileLines([&](const QByteArray& line) { kept.addLine(line); }, batch, true,
                               now);
            filed = std::make_shared<FiledBatch>(kept.take());
            keptMs.push_back(t.nsecsElapsed() / 1e6);
            t.restart();
            {
                LastBatchPanel panel(nullptr);
                panel.resize(900, 500);
                panel.showBatch(filed);
                panel.show();
                panel.grab(); // the first complete paint
                openMs.push_back(t.nsecsElapsed() / 1e6);
            }
            QApplication::processEvents();
        }
        std::printf("| %d x %d | %lld | %.0f ms | %.0f ms | %.0f ms |\n", shape.codes, shape.rows,
                    qint64(shape.codes) * shape.rows, median(linesMs), median(keptMs),
                    median(openMs));
    }
    return 0;
}
