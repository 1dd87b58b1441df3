#pragma once

#include <QWidget>
#include <memory>

class QChartView;
class QFormLayout;
class QLabel;
class QStackedWidget;
class QTableView;

namespace znr {

class ClickableLabel;
class DesktopServices;
class FiledBatch;
class FiledBatchModel;

// One filed batch: its instrument ID, mode, batch code, when it was filed and its data file
// (a click opens the file's folder with the desktop's handler, when there is one), the readings as
// a table and as a chart, and the instrument's error for a batch that ERR ended. Without a batch it
// says so and nothing else.
class LastBatchPanel final : public QWidget {
    Q_OBJECT
public:
    explicit LastBatchPanel(DesktopServices* desktop, QWidget* parent = nullptr);

    void showBatch(std::shared_ptr<const FiledBatch> batch);

private:
    QWidget* buildDetails(QWidget& page);
    QWidget* buildReadings(QWidget& page);
    QLabel* addDetail(QFormLayout& form, const char* caption, const char* name);

    DesktopServices* desktop_;
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
