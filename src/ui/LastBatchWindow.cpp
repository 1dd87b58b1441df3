#include "ui/LastBatchWindow.h"

#include "protocol/Channel.h"
#include "station/ConnectionList.h"
#include "station/Connections.h"
#include "ui/LastBatchPanel.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace znr {

LastBatchWindow::LastBatchWindow(const Connections& connections, const ConnectionList& list,
                                 int index, DesktopServices* desktop, QWidget* parent)
    : QWidget(parent, Qt::Window), connections_(connections), list_(list), index_(index),
      panel_(new LastBatchPanel(desktop, this)) {
    setObjectName(QStringLiteral("frmLastBatch"));
    setWindowTitle(QStringLiteral("Last Batch"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* form = new QFormLayout;
    lblConnection_ = addCounter(*form, "Connection:", "lblConnection");
    lblBatchesFiled_ = addCounter(*form, "Batches filed:", "lblBatchesFiled");
    lblFramesReceived_ = addCounter(*form, "Frames received:", "lblFramesReceived");
    lblNak8Sent_ = addCounter(*form, "NAK8 sent:", "lblNak8Sent");
    lblLastFailure_ = addCounter(*form, "Last failure logged:", "lblLastFailure");
    lblLastFailure_->setWordWrap(true);
    auto* since = new QGroupBox(QStringLiteral("Connection since start"), this);
    since->setLayout(form);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(since);
    layout->addWidget(panel_, 1);
    resize(900, 600);

    connect(&connections, &Connections::batchFiled, this, [this](int filedBy) {
        if (filedBy == index_)
            showFiled();
    });
    // A deleted connection's index may be given to another one: the window goes with its row.
    connect(&list, &ConnectionList::rowAboutToBeRemoved, this, [this](int position) {
        if (list_.indexAt(position) == index_)
            close();
    });
    connect(&counterTimer_, &QTimer::timeout, this, &LastBatchWindow::showCounters);
    counterTimer_.start(1000);
    showFiled();
}

QLabel* LastBatchWindow::addCounter(QFormLayout& form, const char* caption, const char* name) {
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form.addRow(QString::fromLatin1(caption), label);
    return label;
}

void LastBatchWindow::showFiled() {
    const Channel* channel = connections_.channelOf(index_);
    panel_->showBatch(channel ? channel->lastFiled() : nullptr);
    showCounters();
}

void LastBatchWindow::showCounters() {
    // The endpoint as the connection's row shows it, under the row's headings.
    QString endpoint;
    if (const std::optional<int> row = list_.positionOf(index_)) {
        const QByteArray* headings = list_.endpointHeadings();
        endpoint = QString::fromLatin1(
            headings[0] + ' ' + list_.cell(*row, ConnectionList::EndpointColumn) + ", " +
            headings[1] + ' ' + list_.cell(*row, ConnectionList::ParameterColumn));
    }
    lblConnection_->setText(endpoint);
    const Channel* channel = connections_.channelOf(index_);
    const ChannelCounters counters = channel ? channel->counters : ChannelCounters();
    lblBatchesFiled_->setText(QString::number(counters.batchesFiled));
    lblFramesReceived_->setText(QString::number(counters.framesReceived));
    lblNak8Sent_->setText(QString::number(counters.nak8Sent));
    lblLastFailure_->setText(QString::fromLatin1(counters.lastFailureLine));
}

} // namespace znr
