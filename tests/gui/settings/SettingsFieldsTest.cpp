// The settings window's fields: help texts, the Archive Days key filter, browsing, key order.
#include "gui/settings/SettingsWindowFixture.h"

#include <QClipboard>

namespace znr {
namespace {

using test::latin1;

struct SettingsFieldsTest : test::SettingsWindowFixture {};

TEST_F(SettingsFieldsTest, FocusOnEachOptionFieldShowsItsHelpAndMarksValuesUnsaved) {
    const struct {
        const char* field;
        const char* title;
        const char* text;
    } cases[] = {
        {"cboDataLayout", " Data Layout",
         "Choose between COLUMN or ROW for the output files. (Default COLUMN)"},
        {"cboDefaultStartup", " Communications Setup",
         "Choose between ETHERNET or SERIAL for the Communication Port."},
        {"cboArchiveRawFile", " Archive Raw File", "Choose YES to Archive Raw files from the ZNR."},
        {"txtArchiveDays", " Archive Raw File Days", "Number of Days to Save Archive Files."},
        {"cboDebugMode", " Debug Mode", "Choose YES to turn on Debug Mode."},
        {"txtAdminPassword", " Administrator Password", "Changes the Administrator Password."},
        {"txtDisconnectPwd", " Disconnect Password", "Changes the Disconnect Password."},
        {"txtCheckRodID", " Check Rod Number",
         "The ID assigned to the Check Rod Button on the ZNR. (If Installed)"},
        {"txtDataFile", " Data File Location", "Choose the Default Location for the Data Files."},
        {"txtCalCheckFile", " Cal. Check File Location",
         "Choose the Default Location for the Cal. Check Files."},
        {"txtCheckRodsFile", " Check Rods File Location",
         "Choose the Default Location for the Check Rods Files."},
        {"txtFastModeFile", " Fast Mode File Location",
         "Choose the Default Location for the Fast Mode Files."},
        {"txtErrorLog", " Error Log File Location",
         "Choose the Default Location for the Error Log File."},
        {"txtRawFile", " Raw File Location", "Choose the Default Location for the Raw Files."},
    };
    open();
    EXPECT_EQ(label("lblOption")->text(), latin1(" Description"));
    EXPECT_TRUE(label("lblDescription")->text().isEmpty());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        auto* field = find<QWidget>(c.field);
        const bool folderField = QByteArray(c.title).endsWith("Location");
        clickLabel(folderField ? "lblFileSetup" : "lblGeneral");
        ASSERT_TRUE(field->isVisible());
        EXPECT_TRUE(w->valuesSaved()); // every page switch stores
        auto* list = qobject_cast<QComboBox*>(field);
        test::giveFocus(list ? list->lineEdit() : field); // where a click into the field lands
        EXPECT_EQ(label("lblOption")->text(), latin1(c.title));
        EXPECT_EQ(label("lblDescription")->text(), latin1(c.text));
        EXPECT_FALSE(w->valuesSaved());
        test::giveFocus(find<QWidget>("imgFileSetup")); // a picture is no option field
        w->UpdateValues();
    }
}

TEST_F(SettingsFieldsTest, ArchiveDaysAcceptsOnlyDigitsBackspaceAndDeleteWhenTyped) {
    open();
    clickLabel("lblGeneral");
    QLineEdit* days = edit("txtArchiveDays");
    test::giveFocus(days);
    days->clear();
    test::typeText(days, latin1("1a2"));
    EXPECT_EQ(days->text(), latin1("12"));
    EXPECT_EQ(prompts.shown, QStringList{latin1("Invalid Data|Please Enter a Valid Number|!")});

    for (const char* rejected : {"-", " ", ".", "\r"})
        test::typeKey(days, Qt::Key_unknown, latin1(rejected));
    EXPECT_EQ(days->text(), latin1("12"));
    EXPECT_EQ(prompts.shown.size(), 5);

    days->end(false);
    test::typeKey(days, Qt::Key_Backspace, QString(QChar(8)));
    EXPECT_EQ(days->text(), latin1("1"));
    days->home(false);
    test::typeKey(days, Qt::Key_Delete, QString(QChar(127)));
    EXPECT_EQ(days->text(), QString());
    test::typeKey(days, Qt::Key_Tab); // moving on is not typing
    EXPECT_EQ(prompts.shown.size(), 5);

    // Keys with Ctrl or Alt that yield a character are typed characters too (Ctrl+V yields 22).
    QApplication::clipboard()->setText(latin1("5x"));
    test::typeKey(days, Qt::Key_V, QString(QChar(22)), Qt::ControlModifier);
    test::typeKey(days, Qt::Key_A, latin1("a"), Qt::AltModifier);
    test::typeKey(days, Qt::Key_7, latin1("7"), Qt::AltModifier);
    EXPECT_EQ(days->text(), latin1("7"));
    EXPECT_EQ(prompts.shown.size(), 7);
    EXPECT_TRUE(logText().isEmpty());
}

TEST_F(SettingsFieldsTest, EachBrowseButtonFillsItsOwnFieldWithTheChosenFolder) {
    const std::pair<const char*, const char*> rows[] = {
        {"cmdDataFile", "txtDataFile"},       {"cmdCalCheck", "txtCalCheckFile"},
        {"cmdCheckRods", "txtCheckRodsFile"}, {"cmdFastMode", "txtFastModeFile"},
        {"cmdErrorLog", "txtErrorLog"},       {"cmdRawFile", "txtRawFile"},
    };
    open();
    for (const auto& [button, field] : rows) {
        SCOPED_TRACE(button);
        const QString before = edit(field)->text();
        w->UpdateValues();
        prompts.fileChoice = latin1("/data/x.dat");
        find<QPushButton>(button)->click();
        EXPECT_EQ(edit(field)->text(), latin1("/data/"));
        EXPECT_FALSE(w->valuesSaved());
        for (const auto& [otherButton, other] : rows) {
            if (other != field) {
                EXPECT_NE(edit(other)->text(), latin1("/data/")) << other;
            }
        }
        edit(field)->setText(before);
    }
    EXPECT_EQ(prompts.shown.count(latin1("open|*.*")), 6);
}

TEST_F(SettingsFieldsTest, BrowseCutsTheFileNameOrThePresetAndCancelChangesNothing) {
    const struct {
        std::optional<QString> choice;
        const char* expected;
    } cases[] = {
        {latin1("/data/x.dat"), "/data/"},
        {latin1("/data/*.*"), "/data/"},
        {latin1("/data/sub dir/long name.dat"), "/data/sub dir/"},
        {latin1("/data/sub/"), "/data/s"}, // no name: the length of the preset is cut
        {latin1("/a"), "/"},
        {latin1("a/"), nullptr}, // shorter than the cut: unchanged
        {std::nullopt, nullptr}, // cancelled
    };
    open();
    QLineEdit* raw = edit("txtRawFile");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.choice.value_or(latin1("<cancel>")).toStdString());
        raw->setText(latin1("/before/"));
        w->UpdateValues();
        prompts.fileChoice = c.choice;
        find<QPushButton>("cmdRawFile")->click();
        EXPECT_EQ(raw->text(), latin1(c.expected ? c.expected : "/before/"));
        EXPECT_EQ(w->valuesSaved(), c.expected == nullptr);
    }
    EXPECT_EQ(s.RawFileFolder, "/before/"); // a browse alone stores nothing
}

TEST_F(SettingsFieldsTest, BrowsedFolderKeepsTheBytesOfItsName) {
    open();
    prompts.fileChoice = QString::fromUtf8("/d\xC3\xA4ta/x.dat"); // a UTF-8 folder name
    find<QPushButton>("cmdDataFile")->click();
    clickLabel("lblSave");
    EXPECT_EQ(s.DataFolder, QFile::encodeName(QString::fromUtf8("/d\xC3\xA4ta/")));
}

TEST_F(SettingsFieldsTest, KeyboardOrderRunsFromThePanelThroughTheFoldersToTheGeneralFields) {
    open();
    QStringList order;
    QWidget* start = find<QWidget>("imgFileSetup");
    QWidget* at = start;
    do {
        if (at->focusPolicy() & Qt::TabFocus && !at->objectName().isEmpty() &&
            at->parentWidget() == w.data())
            order.append(at->objectName());
        at = at->nextInFocusChain();
    } while (at != start);
    const QStringList expected = {
        latin1("imgFileSetup"),     latin1("imgGeneral"),       latin1("imgSave"),
        latin1("imgCancel"),        latin1("txtDataFile"),      latin1("txtCalCheckFile"),
        latin1("txtCheckRodsFile"), latin1("txtFastModeFile"),  latin1("txtErrorLog"),
        latin1("txtRawFile"),       latin1("cmdDataFile"),      latin1("cmdCalCheck"),
        latin1("cmdCheckRods"),     latin1("cmdFastMode"),      latin1("cmdErrorLog"),
        latin1("cmdRawFile"),       latin1("cboDataLayout"),    latin1("cboDefaultStartup"),
        latin1("txtAdminPassword"), latin1("txtDisconnectPwd"), latin1("cboArchiveRawFile"),
        latin1("txtArchiveDays"),   latin1("txtCheckRodID"),    latin1("cboDebugMode"),
    };
    EXPECT_EQ(order, expected);
}

} // namespace
} // namespace znr
