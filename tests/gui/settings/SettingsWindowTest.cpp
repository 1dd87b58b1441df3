// Opening, storing and closing the settings window.
#include "gui/settings/SettingsWindowFixture.h"

namespace znr {
namespace {

using test::latin1;

struct SettingsWindowTest : test::SettingsWindowFixture {};

TEST_F(SettingsWindowTest, OpeningAndClosingBeforeAnyFocusAsksNothingAndRewritesTheKeysOnce) {
    login.LoginOK = true;
    open();
    EXPECT_EQ(ini(), withDir(test::testData("settings/after-open.ini")));
    EXPECT_TRUE(w->valuesSaved());
    EXPECT_TRUE(edit("txtDataFile")->isVisible());
    EXPECT_FALSE(combo("cboDataLayout")->isVisible());
    EXPECT_EQ(label("lblSettings")->text(), latin1("File Setup"));

    s.ArchiveDays = 99; // only a store would write it
    EXPECT_TRUE(closeByCloseEntry());
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_EQ(ini(), withDir(test::testData("settings/after-open.ini")));
    EXPECT_FALSE(login.LoginOK);
    EXPECT_EQ(list.endpointHeadings()[0], "IP Address");
    EXPECT_EQ(list.endpointHeadings()[1], "Port Number");
    EXPECT_EQ(debugWindowShown, 0);
    EXPECT_TRUE(logText().isEmpty());
}

TEST_F(SettingsWindowTest, FieldsShowTheSettingsAndTheListsTheirTwoEntries) {
    open();
    EXPECT_EQ(combo("cboDataLayout")->currentText(), latin1("COLUMN"));
    EXPECT_EQ(combo("cboDefaultStartup")->currentText(), latin1("ETHERNET"));
    EXPECT_EQ(edit("txtArchiveDays")->text(), latin1("30"));
    EXPECT_EQ(edit("txtAdminPassword")->text(), latin1("admin"));
    EXPECT_EQ(edit("txtAdminPassword")->displayText(), latin1("*****"));
    EXPECT_EQ(edit("txtDisconnectPwd")->displayText(), latin1("**********"));
    EXPECT_EQ(combo("cboDebugMode")->currentText(), latin1("NO"));
    EXPECT_EQ(edit("txtRawFile")->text(), QFile::decodeName(dir.folder() + "Raw Files/"));
    const std::pair<const char*, QStringList> lists[] = {
        {"cboDataLayout", {latin1("COLUMN"), latin1("ROW")}},
        {"cboDefaultStartup", {latin1("ETHERNET"), latin1("SERIAL")}},
        {"cboArchiveRawFile", {latin1("YES"), latin1("NO")}},
        {"cboDebugMode", {latin1("YES"), latin1("NO")}},
    };
    for (const auto& [name, entries] : lists) {
        QComboBox* c = combo(name);
        EXPECT_TRUE(c->isEditable()) << name;
        QStringList shown;
        for (int i = 0; i < c->count(); ++i)
            shown.append(c->itemText(i));
        EXPECT_EQ(shown, entries) << name;
    }
}

TEST_F(SettingsWindowTest, FocusThenCloseAsksAndYesStoresButStaysOpenUntilTheSecondClose) {
    open();
    test::giveFocus(edit("txtDataFile"));
    EXPECT_FALSE(w->valuesSaved());
    edit("txtDataFile")->setText(latin1("/new/data/"));
    login.LoginOK = true;
    prompts.yesNoAnswers = {true};

    EXPECT_FALSE(closeByCloseEntry());
    EXPECT_EQ(prompts.shown,
              QStringList{latin1("Data will be Lost|Do you want to Save your changes?|?")});
    EXPECT_EQ(s.DataFolder, "/new/data/");
    EXPECT_TRUE(ini().contains("\r\nData=/new/data/\r\n"));
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(login.LoginOK); // the rest of the closing sequence still ran

    EXPECT_TRUE(closeByCloseEntry());
    EXPECT_EQ(prompts.shown.size(), 1);
}

TEST_F(SettingsWindowTest, FocusThenCloseWithNoClosesWithoutStoring) {
    open();
    test::giveFocus(edit("txtCheckRodsFile"));
    edit("txtCheckRodsFile")->setText(latin1("/elsewhere/"));
    prompts.yesNoAnswers = {false};
    w->close(); // the title-bar close box
    test::runDeferredDeletes();
    EXPECT_TRUE(w.isNull());
    EXPECT_EQ(prompts.shown.size(), 1);
    EXPECT_EQ(s.CheckRodsFolder, dir.folder() + "Check Rods/");
    EXPECT_EQ(ini(), withDir(test::testData("settings/after-open.ini")));
}

TEST_F(SettingsWindowTest, SwitchingPagesStoresWithoutAMessageAndRecoloursTheEntries) {
    open();
    test::giveFocus(edit("txtFastModeFile"));
    edit("txtFastModeFile")->setText(latin1("/fast/"));
    test::click(find<QLabel>("imgGeneral"));

    EXPECT_EQ(s.FastModeFolder, "/fast/");
    EXPECT_TRUE(ini().contains("\r\nFastMode=/fast/\r\n"));
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_TRUE(w->valuesSaved());
    EXPECT_EQ(label("lblSettings")->text(), latin1("General"));
    EXPECT_EQ(label("lblSetting2")->text(), latin1(" General Settings"));
    EXPECT_EQ(label("lblGeneral")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(label("lblFileSetup")->palette().color(QPalette::WindowText), QColor(0, 0, 0));
    EXPECT_TRUE(combo("cboDataLayout")->isVisible());
    EXPECT_TRUE(label("lblArchiveDays")->isVisible());
    EXPECT_FALSE(edit("txtFastModeFile")->isVisible());
    EXPECT_FALSE(find<QPushButton>("cmdFastMode")->isVisible());
    EXPECT_FALSE(label("lblFastMode")->isVisible());

    clickLabel("lblFileSetup");
    EXPECT_EQ(label("lblSetting2")->text(), latin1(" File Setup"));
    EXPECT_EQ(label("lblFileSetup")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_TRUE(edit("txtFastModeFile")->isVisible());
    EXPECT_FALSE(edit("txtCheckRodID")->isVisible());

    EXPECT_TRUE(closeByCloseEntry());
    EXPECT_TRUE(prompts.shown.isEmpty());
}

TEST_F(SettingsWindowTest, EmptyFieldsKeepTheirSettingsAndLowerCaseColumnMeansRow) {
    open();
    clickLabel("lblGeneral");
    edit("txtAdminPassword")->clear();
    edit("txtCheckRodID")->clear();
    combo("cboDataLayout")->setEditText(latin1("column"));
    clickLabel("lblSave");

    EXPECT_EQ(prompts.shown, QStringList{latin1("Data Saved|Values Saved Successfully")});
    EXPECT_EQ(s.AdminPassword, "admin");
    EXPECT_EQ(s.CheckRodID, "R1");
    EXPECT_FALSE(s.DataLayoutColumn);
    const QByteArray expected =
        withDir(test::testData("settings/after-open.ini")).replace("COLUMN=True", "COLUMN=False");
    EXPECT_EQ(ini(), expected);
    EXPECT_TRUE(w->isVisible());
}

TEST_F(SettingsWindowTest, NewValuesAreTakenIntoTheSettingsAndWrittenInTheirFileForms) {
    open();
    clickLabel("lblGeneral");
    combo("cboDefaultStartup")->setEditText(latin1("SERIAL"));
    combo("cboArchiveRawFile")->setEditText(latin1("NO"));
    edit("txtArchiveDays")->setText(latin1("7"));
    edit("txtAdminPassword")->setText(latin1("boss"));
    edit("txtDisconnectPwd")->setText(latin1("stop"));
    edit("txtCheckRodID")
        ->setText(latin1("\xC4"
                         "9")); // an 8-bit character stays one byte
    clickLabel("lblSave");

    EXPECT_EQ(s.DefaultStartup, "SERIAL");
    EXPECT_EQ(s.ArchiveRawFile, "NO");
    EXPECT_EQ(s.ArchiveDays, 7);
    EXPECT_EQ(s.AdminPassword, "boss");
    EXPECT_EQ(s.DisconnectPassword, "stop");
    EXPECT_EQ(s.CheckRodID, "\xC4"
                            "9");
    const QByteArray file = ini();
    for (const char* line : {"\r\nMODE=SERIAL\r\n", "\r\nSAVE=NO\r\n", "\r\nDAYS= 7\r\n",
                             "[ADMIN]\r\nPASSWORD=Xeii\r\n", "[DISCONNECT]\r\nPASSWORD=ijef\r\n",
                             "\r\nID=\xC4"
                             "9\r\n"})
        EXPECT_TRUE(file.contains(line)) << line;
}

TEST_F(SettingsWindowTest, OverflowingDaysEndTheStoreAfterTheFieldsBeforeIt) {
    open();
    clickLabel("lblGeneral");
    test::giveFocus(edit("txtCheckRodID"));
    combo("cboDefaultStartup")->setEditText(latin1("SERIAL"));
    edit("txtArchiveDays")->setText(latin1("40000"));
    edit("txtCheckRodID")->setText(latin1("R2"));
    clickLabel("lblSave");

    EXPECT_EQ(logText(), "frmSettings_UpdateValues, 6, Overflow, 5/1/2012 10:15:30 AM\r\n");
    EXPECT_EQ(s.DefaultStartup, "SERIAL"); // taken before the days
    EXPECT_EQ(s.ArchiveDays, 30);
    EXPECT_EQ(s.CheckRodID, "R1"); // after the days: not taken
    EXPECT_EQ(ini(), withDir(test::testData("settings/after-open.ini")));
    EXPECT_FALSE(w->valuesSaved());
    EXPECT_EQ(prompts.shown, QStringList{latin1("Data Saved|Values Saved Successfully")});
}

TEST_F(SettingsWindowTest, LettersPutIntoDaysWithoutTypingAreATypeMismatchAtTheStore) {
    open();
    edit("txtArchiveDays")->setText(latin1("12ab")); // pasted: the key filter never sees it
    clickLabel("lblGeneral");
    EXPECT_EQ(logText(), "frmSettings_UpdateValues, 13, Type mismatch, 5/1/2012 10:15:30 AM\r\n");
    EXPECT_EQ(s.ArchiveDays, 30);
}

TEST_F(SettingsWindowTest, DebugModeYesShowsTheTroubleShootingWindowAtClosing) {
    open();
    clickLabel("lblGeneral");
    combo("cboDebugMode")->setEditText(latin1("YES"));
    EXPECT_TRUE(closeByCloseEntry());
    EXPECT_EQ(debugWindowShown, 1);
    EXPECT_TRUE(debugMode);

    // Opened again it shows NO, and closing with NO leaves the trouble-shooting window alone.
    open();
    EXPECT_EQ(combo("cboDebugMode")->currentText(), latin1("NO"));
    EXPECT_TRUE(closeByCloseEntry());
    EXPECT_EQ(debugWindowShown, 1);
    EXPECT_TRUE(debugMode);
}

TEST_F(SettingsWindowTest, OnlyExactlySerialSelectsTheSerialHeadings) {
    const struct {
        const char* startup;
        const char* endpoint;
        const char* parameter;
    } cases[] = {
        {"SERIAL", "COMM Port", "Settings"},
        {"serial", "IP Address", "Port Number"},
        {"ETHERNET", "IP Address", "Port Number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.startup);
        open();
        clickLabel("lblGeneral");
        combo("cboDefaultStartup")->setEditText(latin1(c.startup));
        clickLabel("lblSave");
        EXPECT_TRUE(closeByCloseEntry());
        EXPECT_EQ(list.endpointHeadings()[0], c.endpoint);
        EXPECT_EQ(list.endpointHeadings()[1], c.parameter);
        EXPECT_EQ(s.DefaultStartup, c.startup);
    }
}

TEST_F(SettingsWindowTest, SettingsTheLoadNeverReachedKeepTheirStoredValues) {
    // A load that stopped early leaves texts empty in memory; the file keeps what it holds.
    s.CheckRodID.clear();
    s.RawFileFolder.clear();
    s.AdminPassword.clear();
    open();
    const QByteArray file = ini();
    EXPECT_TRUE(file.contains("\r\nID=R1\r\n"));
    EXPECT_TRUE(file.contains("\r\nRawFile=" + dir.folder() + "Raw Files/\r\n"));
    EXPECT_TRUE(file.contains("[ADMIN]\r\nPASSWORD=WZc_d\r\n"));
}

} // namespace
} // namespace znr
