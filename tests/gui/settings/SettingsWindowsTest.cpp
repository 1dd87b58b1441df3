// The settings window and the two dialogs that add an instrument: what they hand over, store,
// write, ask, refuse and log.
#include "config/AppSettings.h"
#include "config/ConnectionOpener.h"
#include "config/LoadSettings.h"
#include "core/ErrorLog.h"
#include "station/ConnectionList.h"
#include "station/Login.h"
#include "support/CaseTable.h"
#include "support/FakeClock.h"
#include "support/FakePrompts.h"
#include "support/FileBytes.h"
#include "support/GuiActions.h"
#include "support/TempDir.h"
#include "ui/EthernetDialog.h"
#include "ui/SerialDialog.h"
#include "ui/SettingsWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <functional>
#include <gtest/gtest.h>

namespace znr::test {
namespace {

// Records what the dialogs hand over: "E|host|port" or "S|port|settings|handshaking|dtr|rts".
// `during` runs inside each call, where a real opener would process events.
class RecordingOpener final : public ConnectionOpener {
public:
    void openEthernet(const EthernetInstrument& i) override {
        record("E|" + i.ip + '|' + QByteArray::number(i.port));
    }
    void openSerial(const SerialInstrument& i) override {
        record("S|" + i.commPort + '|' + i.settings + '|' + QByteArray::number(i.handShaking) +
               '|' + (i.dtr ? '1' : '0') + '|' + (i.rts ? '1' : '0'));
    }
    void record(const QByteArray& call) {
        calls.append(call);
        if (during)
            during();
    }

    QByteArrayList calls;
    std::function<void()> during;
};

// A window of type W over a settings file in a fresh folder; the test creates the window.
template <class W> struct WindowFixture : ::testing::Test {
    TempDir dir;
    AppSettings s;
    FakeClock clock;
    ErrorLog log{s.errorLogFolder, clock};
    RecordingOpener opener;
    QByteArray iniPath = dir.path("ZNRExtractor.ini");
    QPointer<W> w;

    void TearDown() override {
        if (w)
            w->close();
        runDeferredDeletes();
    }
    template <class T> T* find(const char* name) const {
        T* found = w->template findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    // True when the window has closed and gone.
    bool gone() {
        runDeferredDeletes();
        return w.isNull();
    }
    QByteArray ini() const { return readBytes(iniPath); }
};

QString latin1(const char* text) {
    return QString::fromLatin1(text);
}

template <class D> struct DialogTest : WindowFixture<D> {
    void SetUp() override {
        test::writeBytes(this->iniPath, test::testData("settings/instruments-before.ini"));
        this->s.iniFilePath = QFile::decodeName(this->iniPath);
        open();
    }
    void open() { (this->w = new D(this->s, this->opener, this->log))->show(); }
    void press(const char* button) { this->template find<QPushButton>(button)->click(); }
    void check(const char* box, bool on) { this->template find<QCheckBox>(box)->setChecked(on); }
};

using SerialDialog = DialogTest<SerialDialog>;
using WinsockDialog = DialogTest<EthernetDialog>;

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
    EXPECT_EQ(s.serialCount, 1);
}

TEST_F(WinsockDialog, AutoRestartAppendsThePortAbove32767AndOkOpensOnce) {
    find<QLineEdit>("txtHost")->setText(latin1("10.1.2.3"));
    find<QLineEdit>("txtPort")->setText(latin1(" 50000 "));
    check("chkAutoRestart", true);
    opener.during = [this] { w->onOk(); }; // a second press inside the opening does nothing
    press("cmdOK");
    EXPECT_EQ(ini(), test::testData("settings/winsock-dialog-after.ini"));
    EXPECT_EQ(s.ethernetCount, 1);
    EXPECT_EQ(opener.calls, QByteArrayList{"E|10.1.2.3|50000"});
    EXPECT_TRUE(gone());
}

// A settings window over a settings file loaded the way the program loads it at start.
struct SettingsWindowTest : WindowFixture<SettingsWindow> {
    LoginState login;
    bool debugMode = false;
    ConnectionList list;
    test::FakePrompts prompts;
    int debugWindowShown = 0;

    void SetUp() override {
        dir.sub("Error Log");
        test::writeBytes(iniPath, withDir(test::testData("settings/before-open.ini")));
        s.iniFilePath = QFile::decodeName(iniPath);
        loadSettings(s, opener, log);
        open();
    }
    void open() {
        w = new SettingsWindow(s, login, debugMode, list, prompts, log,
                               [this] { ++debugWindowShown; });
        w->show();
    }
    // A file kept beside the tests with its folder placeholder filled in.
    QByteArray withDir(QByteArray text) const { return text.replace("@DIR@", dir.folder()); }
    QByteArray afterOpen() const { return withDir(test::testData("settings/after-open.ini")); }
    QLineEdit* edit(const char* name) const { return find<QLineEdit>(name); }
    QComboBox* combo(const char* name) const { return find<QComboBox>(name); }
    void clickLabel(const char* name) const { test::click(find<QLabel>(name)); }
    void focusAndType(const char* field, const char* text) {
        test::giveFocus(edit(field));
        edit(field)->setText(latin1(text));
    }
    // Closes by the Close entry; true when the window has gone.
    bool closeByCloseEntry() {
        clickLabel("lblCancel");
        return gone();
    }
};

// The save question does not block: the window waits for its answer, then closes or stays.
TEST_F(SettingsWindowTest, CloseAfterFocusAsksYesStoresAndStaysOpenNoClosesWithoutStoring) {
    login.loggedIn = true;
    focusAndType("txtDataFile", "/new/data/");
    EXPECT_FALSE(closeByCloseEntry());
    ASSERT_TRUE(prompts.heldAnswer);
    w->close(); // a second close while the question is open asks nothing more
    std::exchange(prompts.heldAnswer, nullptr)(true);
    EXPECT_FALSE(gone());
    EXPECT_EQ(prompts.shown, QStringList{latin1("Data will be Lost|Do you want to Save your "
                                                "changes?|?")});
    EXPECT_EQ(ini(), afterOpen().replace(dir.folder() + "Data Files/", "/new/data/"));
    EXPECT_TRUE(closeByCloseEntry()); // stored: the second close asks nothing
    EXPECT_FALSE(login.loggedIn);
    EXPECT_EQ(debugWindowShown, 0);

    open();
    focusAndType("txtCheckRodsFile", "/elsewhere/");
    w->close(); // the title-bar close box, answered No
    std::exchange(prompts.heldAnswer, nullptr)(false);
    EXPECT_TRUE(gone());
    EXPECT_EQ(prompts.shown.size(), 2);
    EXPECT_EQ(s.checkRodsFolder, dir.folder() + "Check Rods/");
}

TEST_F(SettingsWindowTest, PageSwitchStoresQuietlyAndSaveWritesTheFieldsInTheirFileForms) {
    focusAndType("txtFastModeFile", "/fast/");
    clickLabel("imgGeneral");
    EXPECT_TRUE(w->valuesSaved());
    // Coming back to the window or from a list's popup is not entering a field.
    for (const Qt::FocusReason reason : {Qt::ActiveWindowFocusReason, Qt::PopupFocusReason}) {
        QFocusEvent back(QEvent::FocusIn, reason);
        QApplication::sendEvent(edit("txtArchiveDays"), &back);
    }
    EXPECT_TRUE(w->valuesSaved());
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_EQ(ini(), afterOpen().replace(dir.folder() + "Fast Mode/", "/fast/"));
    clickLabel("lblFileSetup");
    prompts.fileChoice = QString::fromUtf8("/d\xC3\xA4ta/x.dat"); // a folder name's bytes stay
    find<QPushButton>("cmdDataFile")->click();
    clickLabel("lblGeneral");
    combo("cboDefaultStartup")->setEditText(latin1("SERIAL"));
    combo("cboDataLayout")->setEditText(latin1("column")); // only exactly COLUMN is column
    combo("cboArchiveRawFile")->setEditText(latin1("NO"));
    edit("txtArchiveDays")->setText(latin1("7"));
    edit("txtAdminPassword")->setText(latin1("boss"));
    edit("txtDisconnectPwd")->clear();
    edit("txtCheckRodID")
        ->setText(latin1("\xC4"
                         "9")); // an 8-bit character stays one byte
    clickLabel("lblSave");
    EXPECT_EQ(prompts.shown.last(), latin1("Data Saved|Values Saved Successfully"));
    EXPECT_EQ(s.disconnectPassword, "disconnect");
    EXPECT_EQ(s.archiveDays, 7);
    EXPECT_EQ(ini(), withDir(test::testData("settings/after-save.ini")));
    EXPECT_TRUE(closeByCloseEntry());
    EXPECT_EQ(list.endpointHeadings()[0], "COMM Port");
}

TEST_F(SettingsWindowTest, ArchiveDaysAcceptsOnlyDigitsBackspaceAndDeleteWhenTyped) {
    clickLabel("lblGeneral");
    QLineEdit* days = edit("txtArchiveDays");
    test::giveFocus(days);
    days->clear();
    test::typeText(days, latin1("/09:a")); // the digits and the characters around them
    EXPECT_EQ(days->text(), latin1("09"));
    EXPECT_EQ(prompts.shown, QStringList(3, latin1("Invalid Data|Please Enter a Valid Number|!")));
    test::typeKey(days, Qt::Key_Backspace, QString(QChar(8)));
    days->home(false);
    test::typeKey(days, Qt::Key_Delete, QString(QChar(127)));
    test::typeKey(days, Qt::Key_Tab, latin1("\t")); // moving on is not typing
    EXPECT_EQ(days->text(), QString());
}

} // namespace
} // namespace znr::test
