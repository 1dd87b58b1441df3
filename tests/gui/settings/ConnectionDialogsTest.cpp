// The two dialogs that add an instrument: what they hand over, save and log.
#include "gui/settings/WindowFixture.h"
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
    bool iniUnchanged() const {
        return this->ini() == test::testData("settings/instruments-before.ini");
    }
};

struct SerialDialog : DialogTest<frmSerialPortSettings> {
    void choose(int port, std::initializer_list<const char*> options, bool dtr, bool rts) {
        find<QListWidget>("lstConnector")->setCurrentRow(port);
        for (const char* name : options)
            find<QRadioButton>(name)->click();
        find<QCheckBox>("chkDTR")->setChecked(dtr);
        find<QCheckBox>("chkRTS")->setChecked(rts);
    }
};

struct WinsockDialog : DialogTest<frmWinsock> {
    QLineEdit* host() { return find<QLineEdit>("txtHost"); }
    QLineEdit* port() { return find<QLineEdit>("txtPort"); }
};

TEST_F(SerialDialog, OkWithoutChangesOpensCom2At9600NoParityAndSavesNothing) {
    EXPECT_EQ(find<QListWidget>("lstConnector")->count(), 20);
    press("cmdOK");
    EXPECT_EQ(opener.calls, QByteArrayList{"S|2|9600,n,8,1"});
    EXPECT_EQ(s.CurrentHandShaking, 0);
    EXPECT_FALSE(s.CurrentDTR || s.CurrentRTS);
    EXPECT_TRUE(iniUnchanged());
    EXPECT_TRUE(gone());
}

TEST_F(SerialDialog, EachChoiceGivesItsValueAndAutoRestartAppendsTheInstrument) {
    const struct {
        int port;
        std::initializer_list<const char*> options; // baud, parity, data bits, stop bits, flow
        bool dtr, rts;
        const char* call;
        int handShaking;
    } cases[] = {
        {0,
         {"optBaudRate_0", "optParity_1", "optDataBits_0", "optStopBits_1", "optFlowControl_1"},
         false,
         true,
         "S|1|110,o,5,1.5",
         1},
        {4,
         {"optBaudRate_9", "optParity_3", "optDataBits_1", "optStopBits_0", "optFlowControl_0"},
         true,
         true,
         "S|5|56000,m,6,1",
         0},
        {7,
         {"optBaudRate_8", "optParity_4", "optDataBits_3", "optStopBits_0", "optFlowControl_0"},
         false,
         false,
         "S|8|38400,s,8,1",
         0},
        // The last one is saved for every start.
        {19,
         {"optBaudRate_7", "optParity_2", "optDataBits_2", "optStopBits_2", "optFlowControl_2"},
         true,
         false,
         "S|20|19200,e,7,2",
         2},
    };
    w->close();
    ASSERT_TRUE(gone());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.call);
        opener.calls.clear();
        s.CurrentHandShaking = 2;
        s.CurrentDTR = s.CurrentRTS = true;
        open(); // resets what an earlier instrument left
        EXPECT_EQ(s.CurrentHandShaking + s.CurrentDTR + s.CurrentRTS, 0);
        choose(c.port, c.options, c.dtr, c.rts);
        find<QCheckBox>("chkAutoRestart")->setChecked(c.port == 19);
        press("cmdOK");
        EXPECT_EQ(opener.calls, QByteArrayList{c.call});
        EXPECT_EQ(s.CurrentHandShaking, c.handShaking);
        EXPECT_EQ(s.CurrentDTR, c.dtr);
        EXPECT_EQ(s.CurrentRTS, c.rts);
        EXPECT_TRUE(gone());
    }
    EXPECT_EQ(ini(), test::testData("settings/serial-dialog-after.ini"));
    EXPECT_EQ(s.SerialCount, 1);
}

TEST_F(SerialDialog, CancelClearsTheScratchFieldsButTheCloseBoxAndKeysDoNot) {
    s.CurrentCommPort = "9";
    s.CurrentSettings = "4800,n,8,1";
    for (const char* button : {"cmdOK", "cmdCancel"}) {
        test::giveFocus(find<QPushButton>(button));
        test::typeKey(find<QPushButton>(button), Qt::Key_Return, latin1("\r"));
        test::typeKey(find<QPushButton>(button), Qt::Key_Escape, latin1("\x1b"));
    }
    EXPECT_FALSE(gone()); // Enter and Esc press neither button
    w->close();
    EXPECT_TRUE(gone());
    EXPECT_EQ(s.CurrentCommPort, "9");
    open();
    find<QRadioButton>("optFlowControl_2")->click();
    press("cmdCancel");
    EXPECT_EQ(s.CurrentCommPort, "0");
    EXPECT_TRUE(s.CurrentSettings.isEmpty());
    EXPECT_EQ(s.CurrentHandShaking, 0);
    EXPECT_TRUE(opener.calls.isEmpty());
    EXPECT_TRUE(iniUnchanged());
    EXPECT_TRUE(gone());
}

TEST_F(SerialDialog, FailureWhileOpeningIsLoggedAndOkOpensOnceWhenPressedAgain) {
    opener.during = [] { throw Failure(FailureNo::OutOfRange, "Subscript out of range"); };
    press("cmdOK");
    EXPECT_EQ(logText(), "frmSerialPortSettings.cmdOK_Click, 9, Subscript out of range, "
                         "5/1/2012 10:15:30 AM\r\n");
    EXPECT_FALSE(gone());
    // A second press handled inside the opening's event processing, one more after closing.
    opener.during = [this] {
        if (w)
            w->cmdOK_Click();
    };
    press("cmdOK");
    w->cmdOK_Click();
    EXPECT_EQ(opener.calls.size(), 2);
    EXPECT_TRUE(gone());
}

TEST_F(WinsockDialog, EnterWithAHostTypedOpensItOnTheDefaultPortAndSavesNothing) {
    EXPECT_EQ(port()->text(), latin1("10001"));
    test::giveFocus(host());
    test::typeText(host(), latin1("10.0.0.5"));
    test::typeKey(host(), Qt::Key_Return, latin1("\r"));
    EXPECT_EQ(opener.calls, QByteArrayList{"E|10.0.0.5|10001"});
    EXPECT_EQ(s.CurrentIP, "10.0.0.5");
    EXPECT_EQ(s.CurrentPort, 10001);
    EXPECT_TRUE(iniUnchanged());
    EXPECT_TRUE(gone());
    for (const char* typed : {"", " host.example ", "caf\xE9"}) { // passed on exactly as typed
        opener.calls.clear();
        open();
        host()->setText(latin1(typed));
        press("cmdOK");
        EXPECT_EQ(opener.calls, QByteArrayList{"E|" + QByteArray(typed) + "|10001"});
    }
}

TEST_F(WinsockDialog, PortThatIsNoWholeNumberInRangeKeepsTheDialogOpenAndLogsOnce) {
    const std::pair<const char*, const char*> cases[] = {
        {"abc", "13, Type mismatch"}, {"70000", "6, Overflow"}, {"-1", "6, Overflow"}};
    for (const auto& [text, failure] : cases) {
        SCOPED_TRACE(text);
        QFile::remove(QFile::decodeName(s.ErrorLogFolder + "ZNRError.log"));
        host()->setText(latin1("10.1.2.3"));
        port()->setText(latin1(text));
        find<QCheckBox>("chkAutoRestart")->setChecked(true);
        press("cmdOK");
        EXPECT_EQ(logText(),
                  "frmWinsock.cmdOK_Click, " + QByteArray(failure) + ", 5/1/2012 10:15:30 AM\r\n");
        EXPECT_TRUE(opener.calls.isEmpty());
        EXPECT_TRUE(iniUnchanged());
        EXPECT_FALSE(gone());
    }
}

TEST_F(WinsockDialog, AutoRestartAppendsThePortAbove32767AndOkOpensOnce) {
    host()->setText(latin1("10.1.2.3"));
    port()->setText(latin1(" 50000 "));
    find<QCheckBox>("chkAutoRestart")->setChecked(true);
    opener.during = [this] {
        if (w)
            w->cmdOK_Click();
    };
    press("cmdOK");
    EXPECT_EQ(ini(), test::testData("settings/winsock-dialog-after.ini"));
    EXPECT_EQ(s.EthernetCount, 1);
    EXPECT_EQ(opener.calls, QByteArrayList{"E|10.1.2.3|50000"});
    EXPECT_TRUE(gone());
}

TEST_F(WinsockDialog, CancelClearsHostAndPortAndEscapeDoesNotCancel) {
    s.CurrentIP = "1.2.3.4";
    s.CurrentPort = 4001;
    test::giveFocus(host());
    test::typeKey(host(), Qt::Key_Escape, latin1("\x1b"));
    EXPECT_FALSE(gone());
    EXPECT_EQ(s.CurrentIP, "1.2.3.4");
    press("cmdCancel");
    EXPECT_TRUE(s.CurrentIP.isEmpty());
    EXPECT_EQ(s.CurrentPort, 0);
    EXPECT_TRUE(opener.calls.isEmpty());
    EXPECT_TRUE(gone());
}

} // namespace
} // namespace znr
