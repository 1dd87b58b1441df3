#include "ui/EthernetDialog.h"

#include "config/AppSettings.h"
#include "config/ConnectionOpener.h"
#include "config/Conversions.h"
#include "config/InstrumentSections.h"
#include "core/ErrorLog.h"
#include "ui/DialogParts.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace znr {

EthernetDialog::EthernetDialog(AppSettings& settings, ConnectionOpener& opener, const ErrorLog& log,
                               QWidget* parent)
    : QDialog(parent), settings_(settings), opener_(opener), log_(log) {
    setUpFixedDialog(*this, "frmWinsock", "Winsock Settings");

    auto* lblHost = new QLabel(QStringLiteral("Host:"), this);
    lblHost->setObjectName(QStringLiteral("lblHost"));
    txtHost_ = new QLineEdit(this);
    txtHost_->setObjectName(QStringLiteral("txtHost"));
    txtHost_->setMinimumWidth(160);
    auto* lblPort = new QLabel(QStringLiteral("Port Number:"), this);
    lblPort->setObjectName(QStringLiteral("lblPort"));
    txtPort_ = new QLineEdit(QStringLiteral("10001"), this);
    txtPort_->setObjectName(QStringLiteral("txtPort"));
    txtPort_->setMaximumWidth(80);
    chkAutoRestart_ = new QCheckBox(QStringLiteral("Auto Restart"), this);
    chkAutoRestart_->setObjectName(QStringLiteral("chkAutoRestart"));

    const auto [cmdOK, cmdCancel] = makeOkCancel(*this);
    connect(cmdOK, &QPushButton::clicked, this, &EthernetDialog::onOk);
    connect(cmdCancel, &QPushButton::clicked, this, &EthernetDialog::onCancel);

    auto* layout = new QGridLayout(this);
    layout->addWidget(lblHost, 0, 0);
    layout->addWidget(txtHost_, 0, 1);
    layout->addWidget(lblPort, 0, 2);
    layout->addWidget(txtPort_, 0, 3);
    layout->addWidget(chkAutoRestart_, 1, 0, 1, 4);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    buttons->addStretch();
    layout->addLayout(buttons, 2, 0, 1, 4);
    setTabOrder(txtHost_, txtPort_);
    setFixedSize(sizeHint());
    txtHost_->setFocus();
}

void EthernetDialog::onOk() {
    if (finished_)
        return;
    guarded(log_, "frmWinsock.cmdOK_Click", [&] {
        EthernetInstrument instrument;
        instrument.ip = txtHost_->text().toLatin1();
        instrument.port = textToWholePort(txtPort_->text().toLatin1());
        if (chkAutoRestart_->isChecked())
            appendEthernetInstrument(settings_, instrument, log_);
        finished_ = true;
        close(); // deletion waits for the event loop, so connecting below is still safe
        opener_.openEthernet(instrument);
    });
}

void EthernetDialog::onCancel() {
    guarded(log_, "frmWinsock.cmdCancel_Click", [&] { close(); });
}

void EthernetDialog::reject() {}

void EthernetDialog::closeEvent(QCloseEvent* e) {
    e->accept();
}

} // namespace znr
