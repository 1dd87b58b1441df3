// The two dialogs that add an instrument: what they hand over, save and log.
#include "gui/settings/WindowFixture.h"
#include "support/CaseTable.h"
#include "ui/frmSerialPortSettings.h"
#include "ui/frmWinsock.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

namespace znr {
namespace {

using test::latin1;

template <class D> struct DialogTest : test::WindowFixture<D> {
    void SetUp() override {
        test::writeBytes(this->iniPath, test::testData("settings/instruments-before.ini"));
        this->s.IniFilePath = QFile::decodeName(this->iniPath);
        this->s.ErrorLogFolder = this->dir.sub("log");
        open();
    }
    void open() { (this->w = new D(this->s, this->opener, this->log))->show(); }
    void press(const char* button) { this->template find<QPushButton>(button)->click(); }
    void check(const char* box, bool on) { this->template find<QCheckBox>(box)->setChecked(on); }
    // A second press handled inside the opening's event processing does nothing.
    void pressAgainWhileOpening() {
        this->opener.during = [this] {
            if (this->w)
                this->w->onOk();
        };
    }
};

using SerialDialog = DialogTest<frmSerialPortSettings>;

struct WinsockDialog : DialogTest<frmWinsock> {
    QLineEdit* host() { return find<QLineEdit>("txtHost"); }
    QLineEdit* port() { return find<QLineEdit>("txtPort"); }
};

TEST_F(SerialDialog, EachChoiceGivesItsValueAndOnlyAutoRestartAppendsTheInstrument) {
    for (const QByteArrayList& c : test::caseTable("settings/serial-choices.txt")) {
        SCOPED_TRACE(c.join('|').toStdString());
        opener.calls.clear();
        if (w)
            w->close();
        open();
        if (c[0] != "-1")
            find<QListWidget>("lstConnector")->setCurrentRow(c[0].toInt());
        for (const QByteArray& option : c[1].split(' '))
            if (!option.isEmpty())
                find<QRadioButton>(option.constData())->click();
        check("chkDTR", c[2] == "1");
        check("chkRTS", c[3] == "1");
        check("chkAutoRestart", c[0] == "19");
        press("cmdOK");
        EXPECT_EQ(opener.calls,
                  QByteArrayList{"S|" + c[4] + '|' + c[5] + '|' + c[6] + '|' + c[2] + '|' + c[3]});
        EXPECT_TRUE(gone());
    }
    EXPECT_EQ(ini(), test::testData("settings/serial-dialog-after.ini"));
    EXPECT_EQ(s.SerialCount, 1);
}

TEST_F(WinsockDialog, PortThatIsNoWholeNumberInRangeKeepsTheDialogOpenAndLogsOnce) {
    const std::pair<const char*, const char*> cases[] = {
        {"abc", "13, Type mismatch"}, {"70000", "6, Overflow"}, {"-1", "6, Overflow"}};
    for (const auto& [text, failure] : cases) {
        SCOPED_TRACE(text);
        QFile::remove(QFile::decodeName(s.ErrorLogFolder + "ZNRError.log"));
        host()->setText(latin1("10.1.2.3"));
        port()->setText(latin1(text));
        check("chkAutoRestart", true);
        press("cmdOK");
        EXPECT_EQ(logText(),
                  "frmWinsock.cmdOK_Click, " + QByteArray(failure) + ", 5/1/2012 10:15:30 AM\r\n");
        EXPECT_TRUE(opener.calls.isEmpty());
        EXPECT_EQ(ini(), test::testData("settings/instruments-before.ini"));
        EXPECT_FALSE(gone());
    }
}

TEST_F(WinsockDialog, AutoRestartAppendsThePortAbove32767AndOkOpensOnce) {
    host()->setText(latin1("10.1.2.3"));
    port()->setText(latin1(" 50000 "));
    check("chkAutoRestart", true);
    pressAgainWhileOpening();
    press("cmdOK");
    EXPECT_EQ(ini(), test::testData("settings/winsock-dialog-after.ini"));
    EXPECT_EQ(s.EthernetCount, 1);
    EXPECT_EQ(opener.calls, QByteArrayList{"E|10.1.2.3|50000"});
    EXPECT_TRUE(gone());
}

} // namespace
} // namespace znr
