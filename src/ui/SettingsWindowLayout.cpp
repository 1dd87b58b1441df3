// Building the settings window: controls, positions, captions and the keyboard order.
#include "ui/ClickableLabel.h"
#include "ui/LoginDialog.h"
#include "ui/PanelIcons.h"
#include "ui/SettingsWindow.h"

#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>

namespace znr {

namespace {

constexpr int PanelWidth = 150;
constexpr int RightX = 158;
constexpr int RightWidth = 458;
constexpr int FirstRowY = 96;
constexpr int RowStep = 30;

QString latin1(const char* text) {
    return QString::fromLatin1(text);
}

// A title bar: white bold text on dark blue.
void styleBar(QLabel* bar) {
    bar->setStyleSheet(QStringLiteral(
        "QLabel { background-color: rgb(0, 0, 128); color: white; font-weight: bold; }"));
}

} // namespace

QLineEdit* SettingsWindow::addLineEdit(const char* name, QRect geometry) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(latin1(name));
    edit->setGeometry(geometry);
    return edit;
}

QComboBox* SettingsWindow::addComboBox(const char* name, QRect geometry) {
    auto* combo = new QComboBox(this);
    combo->setObjectName(latin1(name));
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert); // typed texts never join the list
    combo->setGeometry(geometry);
    return combo;
}

QLabel* SettingsWindow::addCaption(const char* name, const char* text, QRect geometry) {
    auto* label = new QLabel(latin1(text), this);
    label->setObjectName(latin1(name));
    label->setGeometry(geometry);
    return label;
}

void SettingsWindow::buildPanel() {
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("frmOptions"));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setGeometry(0, 0, PanelWidth, height());
    panel->setStyleSheet(QStringLiteral("QFrame#frmOptions { background-color: white; }"));

    auto* heading = addCaption("lblOptions", "OPTIONS", QRect(0, 8, PanelWidth, 24));
    heading->setAlignment(Qt::AlignCenter);
    styleBar(heading);

    struct Entry {
        ClickableLabel*& picture;
        ClickableLabel*& caption;
        const char* pictureName;
        const char* captionName;
        const char* text;
        PanelIcon icon;
    } entries[] = {
        {imgFileSetup_, lblFileSetup_, "imgFileSetup", "lblFileSetup", "File Setup",
         PanelIcon::FileSetup},
        {imgGeneral_, lblGeneral_, "imgGeneral", "lblGeneral", "General", PanelIcon::General},
        {imgSave_, lblSave_, "imgSave", "lblSave", "Save", PanelIcon::Save},
        {imgCancel_, lblCancel_, "imgCancel", "lblCancel", "Close", PanelIcon::Close},
    };
    int y = 48;
    for (Entry& e : entries) {
        e.picture = new ClickableLabel(this);
        e.picture->setObjectName(latin1(e.pictureName));
        e.picture->setPixmap(panelIcon(e.icon));
        e.picture->setGeometry(14, y, 32, 32);
        e.picture->setFocusPolicy(Qt::StrongFocus); // pictures take part in the keyboard order
        e.caption = new ClickableLabel(latin1(e.text), this);
        e.caption->setObjectName(latin1(e.captionName));
        e.caption->setGeometry(54, y + 6, PanelWidth - 60, 20);
        e.caption->setCursor(Qt::PointingHandCursor);
        y += 56;
    }
    imgFileSetup_->onClick = [this] { showFileSetupPage(); };
    lblFileSetup_->onClick = [this] { showFileSetupPage(); };
    imgGeneral_->onClick = [this] { showGeneralPage(); };
    lblGeneral_->onClick = [this] { showGeneralPage(); };
    lblSave_->onClick = [this] { save(); };
    lblCancel_->onClick = [this] { cancel(); };
}

void SettingsWindow::buildHeadings() {
    styleBar(addCaption("lblOptionSelected", " Option Selected", QRect(RightX, 8, RightWidth, 22)));
    lblSettings_ = addCaption("lblSettings", "Settings", QRect(RightX + 8, 34, RightWidth - 8, 30));
    QFont big = lblSettings_->font();
    big.setPointSize(big.pointSize() + 5);
    big.setBold(true);
    lblSettings_->setFont(big);
    lblSetting2_ = addCaption("lblSetting2", " Description", QRect(RightX, 68, RightWidth, 20));
    lblSetting2_->setStyleSheet(QStringLiteral(
        "QLabel { background-color: rgb(192, 192, 192); color: black; font-weight: bold; }"));
    lblOption_ = addCaption("lblOption", " Description", QRect(RightX, 300, RightWidth, 20));
    styleBar(lblOption_);
    lblDescription_ = addCaption("lblDescription", "", QRect(RightX, 322, RightWidth, 66));
    lblDescription_->setWordWrap(true);
    lblDescription_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblDescription_->setFrameShape(QFrame::Panel);
    lblDescription_->setFrameShadow(QFrame::Sunken);
    lblDescription_->setMargin(4);
}

void SettingsWindow::buildFileSetupPage() {
    const struct {
        const char* captionName;
        const char* caption;
        const char* field;
        const char* button;
        const char* procedure;
    } rows[] = {
        {"lblDataFile", "Data File:", "txtDataFile", "cmdDataFile",
         "frmSettings.cmdDataFile_Click"},
        {"lblCalCheck", "Cal. Check:", "txtCalCheckFile", "cmdCalCheck",
         "frmSettings.cmdCalCheck_Click"},
        {"lblCheckRods", "Check Rods:", "txtCheckRodsFile", "cmdCheckRods",
         "frmSettings.cmdCheckRods_Click"},
        {"lblFastMode", "Fast Mode:", "txtFastModeFile", "cmdFastMode",
         "frmSettings.cmdFastMode_Click"},
        {"lblErrorLog", "Error Log:", "txtErrorLog", "cmdErrorLog",
         "frmSettings.cmdErrorLog_Click"},
        {"lblRawFile", "Raw File:", "txtRawFile", "cmdRawFile", "frmSettings.cmdRawFile_Click"},
    };
    int y = FirstRowY;
    for (const auto& r : rows) {
        FolderRow row{addCaption(r.captionName, r.caption, QRect(RightX + 8, y + 3, 84, 20)),
                      addLineEdit(r.field, QRect(RightX + 94, y, 320, 24)),
                      new QPushButton(QStringLiteral("..."), this), r.procedure};
        row.button->setObjectName(latin1(r.button));
        row.button->setGeometry(RightX + 420, y, 30, 24);
        row.button->setAutoDefault(false);
        folderRows_.push_back(row);
        fileSetupPage_.insert(fileSetupPage_.end(), {row.caption, row.field, row.button});
        y += RowStep;
    }
    for (const FolderRow& row : folderRows_)
        connect(row.button, &QPushButton::clicked, this, [this, row] { browse(row); });
}

void SettingsWindow::buildGeneralPage() {
    const int leftCaption = RightX + 8, leftField = RightX + 160;
    const int rightCaption = RightX + 264, rightField = RightX + 366;
    auto rowY = [](int row) { return FirstRowY + row * RowStep; };
    auto caption = [&](const char* name, const char* text, int x, int row, int width) {
        generalPage_.push_back(addCaption(name, text, QRect(x, rowY(row) + 3, width, 20)));
    };
    auto field = [&](auto* widget) {
        generalPage_.push_back(widget);
        return widget;
    };
    caption("lblDataLayout", "Data Layout:", leftCaption, 0, 150);
    cboDataLayout_ = field(addComboBox("cboDataLayout", QRect(leftField, rowY(0), 96, 24)));
    caption("lblDefaultStartup", "Default Startup:", rightCaption, 0, 100);
    cboDefaultStartup_ =
        field(addComboBox("cboDefaultStartup", QRect(rightField, rowY(0), 92, 24)));
    caption("lblAdminPassword", "Administrator Password:", leftCaption, 1, 150);
    txtAdminPassword_ = field(addLineEdit("txtAdminPassword", QRect(leftField, rowY(1), 298, 24)));
    caption("lblDisconnectPwd", "Disconnect Password:", leftCaption, 2, 150);
    txtDisconnectPwd_ = field(addLineEdit("txtDisconnectPwd", QRect(leftField, rowY(2), 298, 24)));
    caption("lblArchiveRawFile", "Archive Raw File:", leftCaption, 3, 150);
    cboArchiveRawFile_ = field(addComboBox("cboArchiveRawFile", QRect(leftField, rowY(3), 96, 24)));
    caption("lblArchiveDays", "Archive Days:", rightCaption, 3, 100);
    txtArchiveDays_ = field(addLineEdit("txtArchiveDays", QRect(rightField, rowY(3), 92, 24)));
    caption("lblCheckRodID", "Check Rod ID:", leftCaption, 4, 150);
    txtCheckRodID_ = field(addLineEdit("txtCheckRodID", QRect(leftField, rowY(4), 96, 24)));
    caption("lblDebugMode", "Debug Mode:", rightCaption, 4, 100);
    cboDebugMode_ = field(addComboBox("cboDebugMode", QRect(rightField, rowY(4), 92, 24)));

    for (QLineEdit* password : {txtAdminPassword_, txtDisconnectPwd_})
        showTypedAsStars(*password);
}

void SettingsWindow::buildHelpTable() {
    help_ = {
        {cboDataLayout_, "frmSettings_cboDataLayout_GotFocus", " Data Layout",
         "Choose between COLUMN or ROW for the output files. (Default COLUMN)"},
        {cboDefaultStartup_, "frmSettings_cboDefaultStartup_GotFocus", " Communications Setup",
         "Choose between ETHERNET or SERIAL for the Communication Port."},
        {cboArchiveRawFile_, "frmSettings_cboArchiveRawFile_GotFocus", " Archive Raw File",
         "Choose YES to Archive Raw files from the ZNR."},
        {txtArchiveDays_, "frmSettings_txtArchiveDays_GotFocus", " Archive Raw File Days",
         "Number of Days to Save Archive Files."},
        {cboDebugMode_, "frmSettings_cboDebugMode_GotFocus", " Debug Mode",
         "Choose YES to turn on Debug Mode."},
        {txtAdminPassword_, "frmSettings_txtAdminPassword_GotFocus", " Administrator Password",
         "Changes the Administrator Password."},
        {txtDisconnectPwd_, "frmSettings_txtDisconnectPwd_GotFocus", " Disconnect Password",
         "Changes the Disconnect Password."},
        {txtCheckRodID_, "frmSettings_txtCheckRodID_GotFocus", " Check Rod Number",
         "The ID assigned to the Check Rod Button on the ZNR. (If Installed)"},
        {folderRows_[0].field, "frmSettings_txtDataFile_GotFocus", " Data File Location",
         "Choose the Default Location for the Data Files."},
        {folderRows_[1].field, "frmSettings_txtCalCheckFile_GotFocus", " Cal. Check File Location",
         "Choose the Default Location for the Cal. Check Files."},
        {folderRows_[2].field, "frmSettings_txtCheckRodsFile_GotFocus", " Check Rods File Location",
         "Choose the Default Location for the Check Rods Files."},
        {folderRows_[3].field, "frmSettings_txtFastModeFile_GotFocus", " Fast Mode File Location",
         "Choose the Default Location for the Fast Mode Files."},
        {folderRows_[4].field, "frmSettings_txtErrorLog_GotFocus", " Error Log File Location",
         "Choose the Default Location for the Error Log File."},
        {folderRows_[5].field, "frmSettings_txtRawFile_GotFocus", " Raw File Location",
         "Choose the Default Location for the Raw Files."},
    };
    for (const HelpEntry& entry : help_)
        entry.field->installEventFilter(this);
}

void SettingsWindow::setKeyboardOrder() {
    std::vector<QWidget*> order = {imgFileSetup_, imgGeneral_, imgSave_, imgCancel_};
    for (const FolderRow& row : folderRows_)
        order.push_back(row.field);
    for (const FolderRow& row : folderRows_)
        order.push_back(row.button);
    order.insert(order.end(),
                 {cboDataLayout_, cboDefaultStartup_, txtAdminPassword_, txtDisconnectPwd_,
                  cboArchiveRawFile_, txtArchiveDays_, txtCheckRodID_, cboDebugMode_});
    for (size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

} // namespace znr
