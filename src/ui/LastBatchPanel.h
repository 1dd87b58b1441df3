#pragma once

#include "ui/DesktopFolder.h"

#include <QWidget>
#include <memory>

class QChartView;
class QFormLayout;
class QLabel;
class QStackedWidget;
class QTableView;

namespace znr {

class ClickableLabel;
class FiledBatch;
class FiledBatchModel;

// One filed batch: its instrument ID, mode, batch code, when it was filed and its data file
// (a click opens the file's folder), the readings as a table and as a chart, and the
// instrument's error for a batch that ERR ended. Without a batch it says so and nothing else.
class LastBatchPanel final : public QWidget {
    Q_OBJECT
public:
    explicit LastBatchPanel(OpenFolder openFolder, QWidget* parent = nullptr);

    void showBatch(std::shared_ptr<const FiledBatch> batch);

private:
    QLabel* addDetail(QFormLayout& form, const char* caption, const char* name);

    OpenFolder openFolder_;
    std::shared_ptr<const FiledBatch> batch_;
    QStackedWidget* pages_;
    QFormLayout* form_;
    QLabel* lblNoBatch_;
    QLabel* lblInstrumentId_;
    QLabel* lblMode_;
    QLabel* lblBatchCode_;
    QLabel* lblFiledAt_;
    ClickableLabel* lblDataFile_;
    QLabel* lblErrorText_;
    QLabel* lblChartNote_;
    FiledBatchModel* model_;
    QTableView* tblReadings_;
    QChartView* chtReadings_;
};

} // namespace znr
