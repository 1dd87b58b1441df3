#pragma once

class QChart;

namespace znr {

class FiledBatch;

// What the chart of a batch draws at most: beyond these it shows the first codes only, and a
// long series keeps the lowest and the highest reading of each stretch of rows.
inline constexpr int MaxChartSeries = 32;
inline constexpr int MaxChartPoints = 1000;

// Draws `batch` in `chart` (emptied first): one line series per code named by the code, x the
// reading row counted from 1, y the value; an empty cell makes no point. The axes fit the data.
// Returns the number of codes drawn.
int plotBatch(QChart& chart, const FiledBatch& batch);

} // namespace znr
