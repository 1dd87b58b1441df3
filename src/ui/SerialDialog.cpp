#include "ui/SerialDialog.h"

#include "config/AppSettings.h"
#include "config/ConnectionOpener.h"
#include "config/InstrumentSections.h"
#include "core/ErrorLog.h"
#include "ui/DialogParts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <utility>

namespace znr {

namespace {

constexpr int ComPortCount = 20;

QStringList latin1List(std::initializer_list<const char*> texts) {
    QStringList list;
    for (const char* t : texts)
        list.append(QString::fromLatin1(t));
    return list;
}

// The value of the option that is on, by its index in the group.
QByteArray valueOf(const QButtonGroup* group, std::initializer_list<const char*> values) {
    const int index = group->checkedId();
    if (index < 0 || index >= int(values.size()))
        throw Failure::outOfRange();
    return QByteArray(values.begin()[index]);
}

void check(QButtonGroup* group, int index) {
    group->button(index)->setChecked(true);
}

} // namespace

SerialDialog::SerialDialog(AppSettings& settings, ConnectionOpener& opener, const ErrorLog& log,
                           QWidget* parent)
    : QDialog(parent), settings_(settings), opener_(opener), log_(log) {
    setUpFixedDialog(*this, "frmSerialPortSettings", "Serial Port Settings");

    auto* lblConnector = new QLabel(QStringLiteral("Connector"), this);
    lblConnector->setObjectName(QStringLiteral("lblConnector"));
    lstConnector_ = new QListWidget(this);
    lstConnector_->setObjectName(QStringLiteral("lstConnector"));
    lstConnector_->setFixedWidth(90);

    auto* frmBaudRate = addOptionGroup("frmBaudRate", "Baud Rate", "optBaudRate",
                                       latin1List({"110", "300", "600", "1200", "2400", "4800",
                                                   "9600", "19200", "38400", "56000"}),
                                       optBaudRate_);
    auto* frmParity =
        addOptionGroup("frmParity", "Parity", "optParity",
                       latin1List({"None", "Odd", "Even", "Mark", "Space"}), optParity_);
    auto* frmDataBits = addOptionGroup("frmDataBits", "Data Bits", "optDataBits",
                                       latin1List({"Five", "Six", "Seven", "Eight"}), optDataBits_);
    auto* frmStopBits = addOptionGroup("frmStopBits", "Stop Bits", "optStopBits",
                                       latin1List({"1", "1.5", "2"}), optStopBits_);
    auto* frmFlowControl =
        addOptionGroup("frmFlowControl", "Flow Control", "optFlowControl",
                       latin1List({"None", "Xon/Xoff", "Hardware"}), optFlowControl_);

    auto checkBox = [this](const char* name, const char* text) {
        auto* box = new QCheckBox(QString::fromLatin1(text), this);
        box->setObjectName(QString::fromLatin1(name));
        return box;
    };
    chkDTR_ = checkBox("chkDTR", "Enable DTR");
    chkRTS_ = checkBox("chkRTS", "Enable RTS");
    chkAutoRestart_ = checkBox("chkAutoRestart", "Auto Restart");

    const auto [cmdOK, cmdCancel] = makeOkCancel(*this, false); // Enter presses neither
    connect(cmdOK, &QPushButton::clicked, this, &SerialDialog::onOk);
    connect(cmdCancel, &QPushButton::clicked, this, &SerialDialog::onCancel);

    // Port list, baud rates, buttons with Auto Restart on top; the other groups in a row below,
    // DTR and RTS under the stop bits.
    auto* layout = new QGridLayout(this);
    auto* portColumn = new QVBoxLayout;
    portColumn->addWidget(lblConnector);
    portColumn->addWidget(lstConnector_);
    layout->addLayout(portColumn, 0, 0);
    layout->addWidget(frmBaudRate, 0, 1, 1, 2);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    buttons->addWidget(chkAutoRestart_);
    buttons->addStretch();
    layout->addLayout(buttons, 0, 3);
    layout->addWidget(frmParity, 1, 0, Qt::AlignTop);
    layout->addWidget(frmDataBits, 1, 1, Qt::AlignTop);
    auto* stopColumn = new QVBoxLayout;
    stopColumn->addWidget(frmStopBits);
    stopColumn->addWidget(chkDTR_);
    stopColumn->addWidget(chkRTS_);
    stopColumn->addStretch();
    layout->addLayout(stopColumn, 1, 2);
    layout->addWidget(frmFlowControl, 1, 3, Qt::AlignTop);

    load();
    setFixedSize(sizeHint());
}

QGroupBox* SerialDialog::addOptionGroup(const char* frameName, const char* title,
                                        const char* groupName, const QStringList& captions,
                                        QButtonGroup*& group) {
    auto* frame = new QGroupBox(QString::fromLatin1(title), this);
    frame->setObjectName(QString::fromLatin1(frameName));
    group = new QButtonGroup(this);
    group->setObjectName(QString::fromLatin1(groupName));
    const bool twoColumns = captions.size() > 5; // the baud rates
    auto* layout = new QGridLayout(frame);
    for (int i = 0; i < captions.size(); ++i) {
        auto* option = new QRadioButton(captions[i], frame);
        option->setObjectName(QString::fromLatin1(groupName) + u'_' + QString::number(i));
        group->addButton(option, i);
        if (twoColumns)
            layout->addWidget(option, i % 5, i / 5);
        else
            layout->addWidget(option, i, 0);
    }
    return frame;
}

void SerialDialog::load() {
    guarded(log_, "frmSerialPortSettings.Form_Load", [&] {
        fillPortList();
        lstConnector_->setCurrentRow(1);
        check(optBaudRate_, 6);
        check(optParity_, 0);
        check(optDataBits_, 3);
        check(optStopBits_, 0);
        check(optFlowControl_, 0);
        chkDTR_->setChecked(false);
        chkRTS_->setChecked(false);
        chkAutoRestart_->setChecked(false);
    });
}

void SerialDialog::fillPortList() {
    guarded(log_, "frmSerialPortSettings.LoadCommPorts", [&] {
        lstConnector_->clear();
        for (int n = 1; n <= ComPortCount; ++n)
            lstConnector_->addItem(QStringLiteral("COM") + QString::number(n));
    });
}

SerialInstrument SerialDialog::takeLineSettings() {
    SerialInstrument instrument;
    guarded(log_, "frmSerialPortSettings.GetValues", [&] {
        instrument.commPort = QByteArray::number(lstConnector_->currentRow() + 1);
        const QByteArray baud = valueOf(optBaudRate_, {"110", "300", "600", "1200", "2400", "4800",
                                                       "9600", "19200", "38400", "56000"});
        const QByteArray parity = valueOf(optParity_, {"n", "o", "e", "m", "s"});
        const QByteArray dataBits = valueOf(optDataBits_, {"5", "6", "7", "8"});
        const QByteArray stopBits = valueOf(optStopBits_, {"1", "1.5", "2"});
        instrument.handShaking = qint16(valueOf(optFlowControl_, {"0", "1", "2"}).toInt());
        instrument.dtr = chkDTR_->isChecked();
        instrument.rts = chkRTS_->isChecked();
        instrument.settings = baud + ',' + parity + ',' + dataBits + ',' + stopBits;
    });
    return instrument;
}

void SerialDialog::onOk() {
    if (finished_)
        return;
    guarded(log_, "frmSerialPortSettings.cmdOK_Click", [&] {
        const SerialInstrument instrument = takeLineSettings();
        if (chkAutoRestart_->isChecked())
            appendSerialInstrument(settings_, instrument, log_);
        opener_.openSerial(instrument);
        finished_ = true;
        close();
    });
}

void SerialDialog::onCancel() {
    guarded(log_, "frmSerialPortSettings.cmdCancel_Click", [&] { close(); });
}

void SerialDialog::reject() {}

void SerialDialog::closeEvent(QCloseEvent* e) {
    e->accept();
}

} // namespace znr
