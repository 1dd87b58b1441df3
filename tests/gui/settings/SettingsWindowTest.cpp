// The settings window: what it stores, writes, asks and refuses.
#include "config/LoadSettings.h"
#include "gui/settings/WindowFixture.h"
#include "station/ConnectionList.h"
#include "station/Login.h"
#include "support/FakePrompts.h"
#include "ui/frmSettings.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace znr {
namespace {

using test::latin1;

// A settings window over a settings file loaded the way the program loads it at start.
struct SettingsWindowTest : test::WindowFixture<frmSettings> {
    LoginState login;
    bool debugMode = false;
    ConnectionList list;
    test::FakePrompts prompts;
    int debugWindowShown = 0;

    void SetUp() override {
        dir.sub("Error Log");
        test::writeBytes(iniPath, withDir(test::testData("settings/before-open.ini")));
        s.IniFilePath = QFile::decodeName(iniPath);
        loadSettings(s, opener, log);
        open();
    }
    void open() {
        w = new frmSettings(s, login, debugMode, list, prompts, log,
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
    login.LoginOK = true;
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
    EXPECT_FALSE(login.LoginOK);
    EXPECT_EQ(debugWindowShown, 0);

    open();
    focusAndType("txtCheckRodsFile", "/elsewhere/");
    w->close(); // the title-bar close box, answered No
    std::exchange(prompts.heldAnswer, nullptr)(false);
    EXPECT_TRUE(gone());
    EXPECT_EQ(prompts.shown.size(), 2);
    EXPECT_EQ(s.CheckRodsFolder, dir.folder() + "Check Rods/");
}

TEST_F(SettingsWindowTest, PageSwitchStoresQuietlyAndSaveWritesTheFieldsInTheirFileForms) {
    focusAndType("txtFastModeFile", "/fast/");
    clickLabel("imgGeneral");
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
    EXPECT_EQ(s.DisconnectPassword, "disconnect");
    EXPECT_EQ(s.ArchiveDays, 7);
    EXPECT_EQ(ini(), withDir(test::testData("settings/after-save.ini")));
    EXPECT_TRUE(closeByCloseEntry());
    EXPECT_EQ(list.endpointHeadings()[0], "COMM Port");
}

TEST_F(SettingsWindowTest, DaysThatDoNotConvertEndTheStoreAfterTheFieldsBeforeThem) {
    clickLabel("lblGeneral");
    focusAndType("txtCheckRodID", "R2");
    combo("cboDefaultStartup")->setEditText(latin1("SERIAL"));
    edit("txtArchiveDays")->setText(latin1("40000")); // pasted: the key filter never sees it
    clickLabel("lblSave");
    EXPECT_EQ(logText(), "frmSettings_UpdateValues, 6, Overflow, 5/1/2012 10:15:30 AM\r\n");
    EXPECT_EQ(s.DefaultStartup, "SERIAL"); // taken before the days
    EXPECT_EQ(s.CheckRodID, "R1");         // after the days: not taken
    EXPECT_EQ(ini(), afterOpen());
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
} // namespace znr
