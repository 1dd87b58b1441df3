#include "ui/BatchChart.h"

#include "protocol/FiledBatch.h"

#include <QChart>
#include <QLineSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace znr {
namespace {

// The points of one code: (row from 1, value) for each cell that holds a reading.
QList<QPointF> codePoints(const FiledBatch& batch, int code) {
    QList<QPointF> points;
    for (int r = 0; r < batch.rowCount(); ++r) {
        const QByteArrayView text = batch.cell(r, code);
        bool ok = false;
        const double value = text.isEmpty() ? 0 : text.toDouble(&ok);
        if (ok)
            points.append(QPointF(r + 1, value));
    }
    return points;
}

// At most MaxChartPoints points: each stretch of rows keeps its lowest and highest reading, in
// row order, so peaks stay visible.
QList<QPointF> thinned(const QList<QPointF>& points) {
    if (points.size() <= MaxChartPoints)
        return points;
    const qsizetype stretches = MaxChartPoints / 2;
    const qsizetype length = (points.size() + stretches - 1) / stretches;
    QList<QPointF> kept;
    kept.reserve(MaxChartPoints);
    for (qsizetype from = 0; from < points.size(); from += length) {
        const auto first = points.begin() + from;
        const auto last = points.begin() + std::min(from + length, points.size());
        const auto [low, high] = std::minmax_element(
            first, last, [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
        kept.append(*std::min(low, high));
        if (low != high)
            kept.append(*std::max(low, high));
    }
    return kept;
}

QValueAxis* axis(QChart& chart, const QString& title, double from, double to, Qt::Alignment at) {
    auto* a = new QValueAxis(&chart);
    a->setTitleText(title);
    a->setRange(from, to);
    a->applyNiceNumbers();
    a->setLabelFormat(QStringLiteral("%g"));
    chart.addAxis(a, at);
    return a;
}

} // namespace

int plotBatch(QChart& chart, const FiledBatch& batch) {
    chart.removeAllSeries();
    for (QAbstractAxis* a : chart.axes()) {
        chart.removeAxis(a);
        delete a;
    }
    const int drawn = std::min(batch.codeCount(), MaxChartSeries);
    double low = INFINITY, high = -INFINITY;
    QList<QLineSeries*> series;
    for (int k = 0; k < drawn; ++k) {
        auto* line = new QLineSeries(&chart);
        line->setName(QString::fromLatin1(batch.codes[k]));
        const QList<QPointF> points = thinned(codePoints(batch, k));
        for (const QPointF& p : points) {
            low = std::min(low, p.y());
            high = std::max(high, p.y());
        }
        line->replace(points);
        chart.addSeries(line);
        series.append(line);
    }
    if (low > high)
        low = high = 0;
    const double margin = high > low ? (high - low) * 0.05 : 1;
    QValueAxis* x =
        axis(chart, QStringLiteral("Reading"), 1, std::max(2, batch.rowCount()), Qt::AlignBottom);
    QValueAxis* y =
        axis(chart, QStringLiteral("Value"), low - margin, high + margin, Qt::AlignLeft);
    for (QLineSeries* line : series) {
        line->attachAxis(x);
        line->attachAxis(y);
    }
    return drawn;
}

} // namespace znr
