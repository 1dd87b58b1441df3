#include "ui/ReconnectDialog.h"

#include "config/LoadSettings.h"
#include "ui/DialogParts.h"
#include "ui/UserPrompts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace znr {

ReconnectDialog::ReconnectDialog(qint16 seconds, UserPrompts& prompts, Apply apply, QWidget* parent)
    : QDialog(parent), prompts_(prompts), apply_(std::move(apply)) {
    setObjectName(QStringLiteral("frmReconnect"));
    setWindowTitle(QStringLiteral("Reconnect"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* lblSeconds = new QLabel(
        QStringLiteral("Retry a connection that dropped by itself every (seconds, 0 = off):"),
        this);
    lblSeconds->setObjectName(QStringLiteral("lblSeconds"));
    txtSeconds_ = new QLineEdit(QString::number(seconds), this);
    txtSeconds_->setObjectName(QStringLiteral("txtSeconds"));
    txtSeconds_->setMaximumWidth(80);
    const auto [cmdOK, cmdCancel] = makeOkCancel(*this);
    connect(cmdOK, &QPushButton::clicked, this, &ReconnectDialog::onOk);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* entry = new QHBoxLayout;
    entry->addWidget(lblSeconds);
    entry->addWidget(txtSeconds_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(entry);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());
}

void ReconnectDialog::onOk() {
    const std::optional<qint16> seconds = reconnectSecondsFromText(txtSeconds_->text().toLatin1());
    if (!seconds) {
        prompts_.information(QStringLiteral("Enter a whole number of seconds from 0 to %1 "
                                            "(0 turns the reconnect off).")
                                 .arg(MaxReconnectSeconds),
                             QStringLiteral("Invalid Data"), UserPrompts::Icon::Exclamation);
        return;
    }
    apply_(*seconds);
    accept();
}

} // namespace znr
