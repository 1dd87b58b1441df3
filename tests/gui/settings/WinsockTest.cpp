#include "gui/settings/DialogFixture.h"
#include "ui/frmWinsock.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

namespace znr {
namespace {

struct WinsockTest : test::DialogFixture<frmWinsock> {
    QLineEdit* host() { return find<QLineEdit>("txtHost"); }
    QLineEdit* port() { return find<QLineEdit>("txtPort"); }
};

TEST_F(WinsockTest, EnterWithAHostTypedOpensItOnTheDefaultPortAndSavesNothing) {
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Winsock Settings"));
    EXPECT_TRUE(host()->text().isEmpty());
    EXPECT_EQ(port()->text(), QStringLiteral("10001"));
    test::giveFocus(host());
    test::typeText(host(), QStringLiteral("10.0.0.5"));
    test::typeKey(host(), Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_EQ(opener.calls, QByteArrayList{"E|10.0.0.5|10001"});
    EXPECT_EQ(s.CurrentIP, "10.0.0.5");
    EXPECT_EQ(s.CurrentPort, 10001);
    EXPECT_EQ(ini(), test::testData("settings/instruments-before.ini"));
    EXPECT_TRUE(gone());
}

TEST_F(WinsockTest, HostIsPassedOnExactlyAsTypedEvenEmpty) {
    for (const char* typed : {"", " host.example ", "caf\xE9"}) {
        opener.calls.clear();
        if (!w)
            (w = new frmWinsock(s, opener, log))->show();
        host()->setText(QString::fromLatin1(typed));
        find<QPushButton>("cmdOK")->click();
        EXPECT_EQ(opener.calls, QByteArrayList{"E|" + QByteArray(typed) + "|10001"});
        EXPECT_TRUE(gone());
    }
}

TEST_F(WinsockTest, PortThatIsNoWholeNumberInRangeKeepsTheDialogOpenAndLogsOnce) {
    const struct {
        const char* port;
        const char* logged;
    } cases[] = {
        {"abc", "frmWinsock.cmdOK_Click, 13, Type mismatch, 5/1/2012 10:15:30 AM\r\n"},
        {"70000", "frmWinsock.cmdOK_Click, 6, Overflow, 5/1/2012 10:15:30 AM\r\n"},
        {"-1", "frmWinsock.cmdOK_Click, 6, Overflow, 5/1/2012 10:15:30 AM\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        QFile::remove(QFile::decodeName(s.ErrorLogFolder + "ZNRError.log"));
        host()->setText(QStringLiteral("10.1.2.3"));
        port()->setText(QString::fromLatin1(c.port));
        find<QCheckBox>("chkAutoRestart")->setChecked(true);
        find<QPushButton>("cmdOK")->click();
        EXPECT_EQ(logText(), c.logged);
        EXPECT_EQ(s.CurrentIP, "10.1.2.3"); // taken before the port failed
        EXPECT_TRUE(opener.calls.isEmpty());
        EXPECT_EQ(ini(), test::testData("settings/instruments-before.ini"));
        EXPECT_FALSE(gone());
        EXPECT_EQ(port()->text(), QString::fromLatin1(c.port));
    }
}

TEST_F(WinsockTest, AutoRestartAppendsThePortAbove32767AndStillOpensIt) {
    host()->setText(QStringLiteral("10.1.2.3"));
    port()->setText(QStringLiteral(" 50000 "));
    find<QCheckBox>("chkAutoRestart")->setChecked(true);
    find<QPushButton>("cmdOK")->click();
    EXPECT_EQ(ini(), test::testData("settings/winsock-dialog-after.ini"));
    EXPECT_EQ(s.EthernetCount, 1);
    EXPECT_EQ(opener.calls, QByteArrayList{"E|10.1.2.3|50000"});
    EXPECT_TRUE(gone());
}

TEST_F(WinsockTest, CancelClearsHostAndPortAndEscapeDoesNotCancel) {
    s.CurrentIP = "1.2.3.4";
    s.CurrentPort = 4001;
    test::giveFocus(host());
    test::typeKey(host(), Qt::Key_Escape, QStringLiteral("\x1b"));
    EXPECT_FALSE(gone());
    EXPECT_EQ(s.CurrentIP, "1.2.3.4");
    find<QPushButton>("cmdCancel")->click();
    EXPECT_TRUE(s.CurrentIP.isEmpty());
    EXPECT_EQ(s.CurrentPort, 0);
    EXPECT_TRUE(opener.calls.isEmpty());
    EXPECT_TRUE(gone());
}

TEST_F(WinsockTest, OkPressedAgainWhileConnectingOpensOnlyOnce) {
    host()->setText(QStringLiteral("h"));
    opener.during = [this] {
        if (w)
            w->cmdOK_Click();
    };
    find<QPushButton>("cmdOK")->click();
    EXPECT_EQ(opener.calls.size(), 1);
    EXPECT_TRUE(gone());
}

} // namespace
} // namespace znr
