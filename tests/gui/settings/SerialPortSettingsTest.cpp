#include "gui/settings/DialogFixture.h"
#include "ui/frmSerialPortSettings.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

namespace znr {
namespace {

struct SerialPortSettingsTest : test::DialogFixture<frmSerialPortSettings> {
    QRadioButton* option(const char* name) { return find<QRadioButton>(name); }
    void pressOK() { find<QPushButton>("cmdOK")->click(); }
};

TEST_F(SerialPortSettingsTest, OkWithoutChangesOpensCom2At9600NoParityAndSavesNothing) {
    auto* ports = find<QListWidget>("lstConnector");
    ASSERT_EQ(ports->count(), 20);
    EXPECT_EQ(ports->item(0)->text(), QStringLiteral("COM1"));
    EXPECT_EQ(ports->item(19)->text(), QStringLiteral("COM20"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Serial Port Settings"));
    pressOK();
    EXPECT_EQ(opener.calls, QByteArrayList{"S|2|9600,n,8,1"});
    EXPECT_EQ(s.CurrentHandShaking, 0);
    EXPECT_FALSE(s.CurrentDTR);
    EXPECT_FALSE(s.CurrentRTS);
    EXPECT_EQ(ini(), test::testData("settings/instruments-before.ini"));
    EXPECT_TRUE(gone());
}

TEST_F(SerialPortSettingsTest, OpeningResetsTheLineScratchFieldsOfAnEarlierInstrument) {
    w->close();
    ASSERT_TRUE(gone());
    s.CurrentHandShaking = 2;
    s.CurrentDTR = true;
    s.CurrentRTS = true;
    w = new frmSerialPortSettings(s, opener, log);
    EXPECT_EQ(s.CurrentHandShaking, 0);
    EXPECT_FALSE(s.CurrentDTR);
    EXPECT_FALSE(s.CurrentRTS);
}

TEST_F(SerialPortSettingsTest, EachChoiceGivesItsValueInTheSettingsText) {
    const struct {
        int port;
        const char* baud;
        const char* parity;
        const char* dataBits;
        const char* stopBits;
        const char* flow;
        bool dtr, rts;
        const char* call;
        int handShaking;
    } cases[] = {
        {19, "optBaudRate_7", "optParity_2", "optDataBits_2", "optStopBits_2", "optFlowControl_2",
         true, false, "S|20|19200,e,7,2", 2},
        {0, "optBaudRate_0", "optParity_1", "optDataBits_0", "optStopBits_1", "optFlowControl_1",
         false, true, "S|1|110,o,5,1.5", 1},
        {4, "optBaudRate_9", "optParity_3", "optDataBits_1", "optStopBits_0", "optFlowControl_0",
         true, true, "S|5|56000,m,6,1", 0},
        {7, "optBaudRate_8", "optParity_4", "optDataBits_3", "optStopBits_0", "optFlowControl_0",
         false, false, "S|8|38400,s,8,1", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.call);
        opener.calls.clear();
        if (!w)
            (w = new frmSerialPortSettings(s, opener, log))->show();
        find<QListWidget>("lstConnector")->setCurrentRow(c.port);
        for (const char* name : {c.baud, c.parity, c.dataBits, c.stopBits, c.flow})
            option(name)->click();
        find<QCheckBox>("chkDTR")->setChecked(c.dtr);
        find<QCheckBox>("chkRTS")->setChecked(c.rts);
        pressOK();
        EXPECT_EQ(opener.calls, QByteArrayList{c.call});
        EXPECT_EQ(s.CurrentHandShaking, c.handShaking);
        EXPECT_EQ(s.CurrentDTR, c.dtr);
        EXPECT_EQ(s.CurrentRTS, c.rts);
        EXPECT_TRUE(gone());
    }
}

TEST_F(SerialPortSettingsTest, AutoRestartAppendsTheInstrumentAndStillOpensIt) {
    find<QListWidget>("lstConnector")->setCurrentRow(19);
    option("optBaudRate_7")->click();
    option("optParity_2")->click();
    option("optDataBits_2")->click();
    option("optStopBits_2")->click();
    option("optFlowControl_2")->click();
    find<QCheckBox>("chkDTR")->setChecked(true);
    find<QCheckBox>("chkAutoRestart")->setChecked(true);
    pressOK();
    EXPECT_EQ(ini(), test::testData("settings/serial-dialog-after.ini"));
    EXPECT_EQ(s.SerialCount, 1);
    EXPECT_EQ(opener.calls, QByteArrayList{"S|20|19200,e,7,2"});
}

TEST_F(SerialPortSettingsTest, CancelClearsThePortAndSettingsAndOpensNothing) {
    find<QListWidget>("lstConnector")->setCurrentRow(5);
    option("optFlowControl_2")->click();
    s.CurrentCommPort = "9";
    s.CurrentSettings = "4800,n,8,1";
    s.CurrentDTR = true;
    find<QPushButton>("cmdCancel")->click();
    EXPECT_EQ(s.CurrentCommPort, "0");
    EXPECT_TRUE(s.CurrentSettings.isEmpty());
    EXPECT_EQ(s.CurrentHandShaking, 0);
    EXPECT_FALSE(s.CurrentDTR);
    EXPECT_TRUE(opener.calls.isEmpty());
    EXPECT_EQ(ini(), test::testData("settings/instruments-before.ini"));
    EXPECT_TRUE(gone());
}

TEST_F(SerialPortSettingsTest, CloseBoxDiscardsTheDialogWithoutTouchingTheScratchFields) {
    s.CurrentCommPort = "7";
    s.CurrentSettings = "1200,n,8,1";
    w->close();
    EXPECT_TRUE(gone());
    EXPECT_EQ(s.CurrentCommPort, "7");
    EXPECT_EQ(s.CurrentSettings, "1200,n,8,1");
    EXPECT_TRUE(opener.calls.isEmpty());
}

TEST_F(SerialPortSettingsTest, EnterAndEscapePressNeitherButton) {
    for (const char* button : {"cmdOK", "cmdCancel"}) {
        test::giveFocus(find<QPushButton>(button));
        test::typeKey(find<QPushButton>(button), Qt::Key_Return, QStringLiteral("\r"));
        test::typeKey(find<QPushButton>(button), Qt::Key_Escape, QStringLiteral("\x1b"));
    }
    EXPECT_TRUE(opener.calls.isEmpty());
    EXPECT_FALSE(gone());
    EXPECT_TRUE(w->isVisible());
}

TEST_F(SerialPortSettingsTest, OkPressedAgainWhileTheConnectionOpensOpensOnlyOnce) {
    opener.during = [this] {
        if (w)
            w->cmdOK_Click(); // a second press handled inside the opening's event processing
    };
    pressOK();
    w->cmdOK_Click(); // and one more after the dialog has closed, before it is deleted
    EXPECT_EQ(opener.calls.size(), 1);
    EXPECT_TRUE(gone());
}

TEST_F(SerialPortSettingsTest, FailureWhileOpeningIsLoggedAndLeavesTheDialogOpen) {
    opener.during = [] { throw Failure(FailureNo::OutOfRange, "Subscript out of range"); };
    pressOK();
    EXPECT_EQ(
        logText(),
        "frmSerialPortSettings.cmdOK_Click, 9, Subscript out of range, 5/1/2012 10:15:30 AM\r\n");
    EXPECT_FALSE(gone());
    EXPECT_TRUE(w->isVisible());
    opener.during = nullptr;
    pressOK(); // and it can be tried again
    EXPECT_EQ(opener.calls.size(), 2);
    EXPECT_TRUE(gone());
}

} // namespace
} // namespace znr
