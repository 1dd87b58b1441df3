#include "ui/LastBatchPanel.h"

#include "core/DateTimeText.h"
#include "core/Files.h"
#include "protocol/FiledBatch.h"
#include "ui/BatchChart.h"
#include "ui/ClickableLabel.h"
#include "ui/DesktopServices.h"
#include "ui/FiledBatchModel.h"

#include <QChart>
#include <QChartView>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace znr {

LastBatchPanel::LastBatchPanel(DesktopServices* desktop, QWidget* parent)
    : QWidget(parent), desktop_(desktop), pages_(new QStackedWidget(this)),
      lblNoBatch_(new QLabel(QStringLiteral("No batch filed yet"), pages_)),
      model_(new FiledBatchModel(this)) {
    lblNoBatch_->setObjectName(QStringLiteral("lblNoBatch"));
    lblNoBatch_->setAlignment(Qt::AlignCenter);
    pages_->addWidget(lblNoBatch_);
    auto* batchPage = new QWidget(pages_);
    auto* batchLayout = new QVBoxLayout(batchPage);
    batchLayout->setContentsMargins(0, 0, 0, 0);
    batchLayout->addWidget(buildDetails(*batchPage));
    batchLayout->addWidget(buildReadings(*batchPage), 1);
    pages_->addWidget(batchPage);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pages_);
}

QWidget* LastBatchPanel::buildDetails(QWidget& page) {
    form_ = new QFormLayout;
    lblInstrumentId_ = addDetail(*form_, "Instrument ID:", "lblInstrumentId");
    lblMode_ = addDetail(*form_, "Mode:", "lblMode");
    lblBatchCode_ = addDetail(*form_, "Batch code:", "lblBatchCode");
    lblFiledAt_ = addDetail(*form_, "Filed:", "lblFiledAt");
    lblDataFile_ = new ClickableLabel(&page);
    lblDataFile_->setObjectName(QStringLiteral("lblDataFile"));
    lblDataFile_->setCursor(Qt::PointingHandCursor);
    lblDataFile_->setToolTip(QStringLiteral("Click to open the folder"));
    QFont linkFont = lblDataFile_->font();
    linkFont.setUnderline(true);
    lblDataFile_->setFont(linkFont);
    lblDataFile_->onClick = [this] {
        if (batch_ && desktop_)
            desktop_->openPath(QFile::decodeName(folderOf(batch_->path)));
    };
    form_->addRow(QStringLiteral("Data file:"), lblDataFile_);
    lblErrorText_ = addDetail(*form_, "Instrument error:", "lblErrorText");
    auto* details = new QGroupBox(QStringLiteral("Last batch filed"), &page);
    details->setLayout(form_);
    return details;
}

// The table beside the chart, with a note under the chart when it leaves codes out.
QWidget* LastBatchPanel::buildReadings(QWidget& page) {
    tblReadings_ = new QTableView(&page);
    tblReadings_->setObjectName(QStringLiteral("tblReadings"));
    tblReadings_->setModel(model_);
    tblReadings_->verticalHeader()->setDefaultSectionSize(tblReadings_->fontMetrics().height() + 6);
    chtReadings_ = new QChartView(new QChart, &page);
    chtReadings_->setObjectName(QStringLiteral("chtReadings"));
    chtReadings_->setRenderHint(QPainter::Antialiasing);
    chtReadings_->setMinimumWidth(360);
    lblChartNote_ = new QLabel(&page);
    lblChartNote_->setObjectName(QStringLiteral("lblChartNote"));
    auto* chartSide = new QWidget(&page);
    auto* chartLayout = new QVBoxLayout(chartSide);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    chartLayout->addWidget(chtReadings_);
    chartLayout->addWidget(lblChartNote_);
    auto* split = new QSplitter(&page);
    split->addWidget(tblReadings_);
    split->addWidget(chartSide);
    split->setStretchFactor(1, 2);
    return split;
}

QLabel* LastBatchPanel::addDetail(QFormLayout& form, const char* caption, const char* name) {
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form.addRow(QString::fromLatin1(caption), label);
    return label;
}

void LastBatchPanel::showBatch(std::shared_ptr<const FiledBatch> batch) {
    batch_ = std::move(batch);
    model_->setBatch(batch_);
    if (!batch_) {
        chtReadings_->chart()->removeAllSeries();
        pages_->setCurrentIndex(0);
        return;
    }
    const FiledBatch& b = *batch_;
    lblInstrumentId_->setText(QString::fromLatin1(b.instrumentId));
    lblMode_->setText(QString::fromLatin1(b.mode));
    lblBatchCode_->setText(QString::fromLatin1(b.batchCode));
    lblFiledAt_->setText(QString::fromLatin1(generalDateTime(b.filedAt)));
    lblDataFile_->setText(QFile::decodeName(b.path));
    lblErrorText_->setText(QString::fromLatin1(b.errorText));
    form_->setRowVisible(lblErrorText_, !b.errorText.isEmpty());
    const int drawn = plotBatch(*chtReadings_->chart(), b);
    lblChartNote_->setText(drawn < b.codeCount()
                               ? QStringLiteral("The chart shows the first %1 of %2 codes.")
                                     .arg(drawn)
                                     .arg(b.codeCount())
                               : QString());
    lblChartNote_->setVisible(drawn < b.codeCount());
    pages_->setCurrentIndex(1);
}

} // namespace znr
