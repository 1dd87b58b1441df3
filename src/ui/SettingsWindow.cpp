#include "ui/SettingsWindow.h"

#include "config/AppSettings.h"
#include "core/ErrorLog.h"
#include "station/ConnectionList.h"
#include "station/Login.h"
#include "ui/ClickableLabel.h"
#include "ui/UserPrompts.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <type_traits>
#include <utility>

namespace znr {

namespace {

enum FolderIndex { DataRow, CalCheckRow, CheckRodsRow, FastModeRow, ErrorLogRow, RawFileRow };

QByteArray bytesOf(const QLineEdit* edit) {
    return edit->text().toLatin1();
}
QByteArray bytesOf(const QComboBox* combo) {
    return combo->currentText().toLatin1();
}

// Runs one step of the page switch: an invalid-argument failure skips just that step.
template <class Step> void skippingInvalidArgument(Step&& step) {
    try {
        step();
    } catch (const Failure& f) {
        if (f.number() != FailureNo::InvalidArgument)
            throw;
    }
}

void setCaptionColour(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

} // namespace

SettingsWindow::SettingsWindow(AppSettings& settings, LoginState& login, bool& debugMode,
                               ConnectionList& list, UserPrompts& prompts, const ErrorLog& log,
                               std::function<void()> showDebugWindow, QWidget* parent)
    : QWidget(parent, Qt::Window), settings_(settings), login_(login), debugMode_(debugMode),
      list_(list), prompts_(prompts), log_(log), showDebugWindow_(std::move(showDebugWindow)) {
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("ZNR Data Extractor Settings"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(624, 397);
    buildPanel();
    buildHeadings();
    buildFileSetupPage();
    buildGeneralPage();
    buildHelpTable();
    setKeyboardOrder();
}

void SettingsWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (loaded_)
        return;
    loaded_ = true;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    imgFileSetup_->setFocus(); // no option field has the focus after opening
    load();
}

void SettingsWindow::load() {
    guarded(log_, "frmSettings_Form_Load", [&] {
        showFileSetupPage();
        showOptions();
        rewriteOptions();
        valuesSaved_ = true;
    });
}

void SettingsWindow::showOptions() {
    guarded(log_, "frmSettings_LoadOptions", [&] {
        const std::pair<QComboBox*, QStringList> lists[] = {
            {cboDataLayout_, {QStringLiteral("COLUMN"), QStringLiteral("ROW")}},
            {cboDefaultStartup_, {QStringLiteral("ETHERNET"), QStringLiteral("SERIAL")}},
            {cboArchiveRawFile_, {QStringLiteral("YES"), QStringLiteral("NO")}},
            {cboDebugMode_, {QStringLiteral("YES"), QStringLiteral("NO")}},
        };
        for (const auto& [combo, entries] : lists) {
            combo->clear();
            combo->addItems(entries);
        }
    });
}

void SettingsWindow::rewriteOptions() {
    guarded(log_, "frmSettings_UpdateOptions", [&] {
        const OptionTexts t = shownOptions(settings_);
        auto show = [](auto* field, const QByteArray& text) {
            if constexpr (std::is_same_v<decltype(field), QComboBox*>)
                field->setEditText(QString::fromLatin1(text));
            else
                field->setText(QString::fromLatin1(text));
        };
        show(cboDataLayout_, t.DataLayout);
        show(cboDefaultStartup_, t.defaultStartup);
        show(cboArchiveRawFile_, t.archiveRawFile);
        show(txtArchiveDays_, t.archiveDays);
        show(txtAdminPassword_, t.adminPassword);
        show(txtDisconnectPwd_, t.disconnectPassword);
        show(cboDebugMode_, t.DebugMode);
        show(txtCheckRodID_, t.checkRodId);
        show(folderRows_[DataRow].field, t.dataFolder);
        show(folderRows_[CalCheckRow].field, t.calCheckFolder);
        show(folderRows_[CheckRodsRow].field, t.checkRodsFolder);
        show(folderRows_[FastModeRow].field, t.fastModeFolder);
        show(folderRows_[ErrorLogRow].field, t.errorLogFolder);
        show(folderRows_[RawFileRow].field, t.rawFileFolder);
    });
}

OptionTexts SettingsWindow::fieldTexts() const {
    OptionTexts t;
    t.DataLayout = bytesOf(cboDataLayout_);
    t.defaultStartup = bytesOf(cboDefaultStartup_);
    t.archiveRawFile = bytesOf(cboArchiveRawFile_);
    t.archiveDays = bytesOf(txtArchiveDays_);
    t.adminPassword = bytesOf(txtAdminPassword_);
    t.disconnectPassword = bytesOf(txtDisconnectPwd_);
    t.DebugMode = bytesOf(cboDebugMode_);
    t.checkRodId = bytesOf(txtCheckRodID_);
    t.dataFolder = bytesOf(folderRows_[DataRow].field);
    t.calCheckFolder = bytesOf(folderRows_[CalCheckRow].field);
    t.checkRodsFolder = bytesOf(folderRows_[CheckRodsRow].field);
    t.fastModeFolder = bytesOf(folderRows_[FastModeRow].field);
    t.errorLogFolder = bytesOf(folderRows_[ErrorLogRow].field);
    t.rawFileFolder = bytesOf(folderRows_[RawFileRow].field);
    return t;
}

void SettingsWindow::storeValues() {
    guarded(log_, "frmSettings_UpdateValues", [&] {
        takeOptions(settings_, fieldTexts());
        writeOptions(settings_, log_);
        valuesSaved_ = true;
    });
}

void SettingsWindow::showFileSetupPage() {
    switchPage(Page::FileSetup);
}

void SettingsWindow::showGeneralPage() {
    switchPage(Page::General);
}

void SettingsWindow::switchPage(Page page) {
    const bool files = page == Page::FileSetup;
    guarded(log_, files ? "frmSettings_lblFileSetup_Click" : "frmSettings_lblGeneral_Click", [&] {
        skippingInvalidArgument([&] {
            lblSettings_->setText(files ? QStringLiteral("File Setup") : QStringLiteral("General"));
            lblSetting2_->setText(files ? QStringLiteral(" File Setup")
                                        : QStringLiteral(" General Settings"));
        });
        skippingInvalidArgument([&] {
            setCaptionColour(files ? lblFileSetup_ : lblGeneral_, QColor(255, 0, 0));
            setCaptionColour(files ? lblGeneral_ : lblFileSetup_, QColor(0, 0, 0));
        });
        skippingInvalidArgument([&] {
            for (QWidget* w : fileSetupPage_)
                w->setVisible(files);
            for (QWidget* w : generalPage_)
                w->setVisible(!files);
        });
        skippingInvalidArgument([&] { storeValues(); });
    });
}

void SettingsWindow::save() {
    guarded(log_, "frmSettings_lblSave_Click", [&] {
        storeValues();
        prompts_.information(QStringLiteral("Values Saved Successfully"),
                             QStringLiteral("Data Saved"), UserPrompts::Icon::None);
    });
}

void SettingsWindow::cancel() {
    guarded(log_, "frmSettings_lblCancel_Click", [&] { close(); });
}

void SettingsWindow::closeEvent(QCloseEvent* e) {
    if (!valuesSaved_ && !saveAnswer_ && askToSave()) {
        e->ignore(); // the answer closes the window again
        return;
    }
    const bool save = std::exchange(saveAnswer_, std::nullopt).value_or(false);
    e->setAccepted(!unload(save));
}

bool SettingsWindow::askToSave() {
    if (!askingToSave_)
        askingToSave_ = guarded(log_, "frmSettings_Form_Unload", [&] {
            prompts_.askYesNo(QStringLiteral("Do you want to Save your changes?"),
                              QStringLiteral("Data will be Lost"),
                              [self = QPointer(this)](bool save) {
                                  if (self)
                                      self->onSaveAnswer(save);
                              });
        });
    return askingToSave_;
}

void SettingsWindow::onSaveAnswer(bool save) {
    askingToSave_ = false;
    saveAnswer_ = save;
    close();
}

bool SettingsWindow::unload(bool save) {
    bool stayOpen = false;
    guarded(log_, "frmSettings_Form_Unload", [&] {
        if (save) {
            storeValues();
            stayOpen = true;
        }
        if (bytesOf(cboDebugMode_) == "YES") {
            if (showDebugWindow_)
                showDebugWindow_();
            debugMode_ = true;
        }
        login_.loggedIn = false;
        list_.setHeadingsOfRun(settings_.defaultStartup);
    });
    return stayOpen;
}

bool SettingsWindow::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress && watched == txtArchiveDays_)
        return filterArchiveDaysKey(static_cast<QKeyEvent*>(e));
    if (e->type() == QEvent::FocusIn) {
        // Coming back from another window or a list's popup is not the user entering a field.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(e)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            for (const HelpEntry& entry : help_)
                if (entry.field == watched)
                    gotFocus(entry);
    }
    return QWidget::eventFilter(watched, e);
}

void SettingsWindow::gotFocus(const HelpEntry& entry) {
    guarded(log_, entry.procedure, [&] {
        lblOption_->setText(QString::fromLatin1(entry.title));
        lblDescription_->setText(QString::fromLatin1(entry.text));
        valuesSaved_ = false;
    });
}

bool SettingsWindow::filterArchiveDaysKey(QKeyEvent* e) {
    // Every key that yields a character is checked, Ctrl combinations too (Ctrl+V yields 22);
    // moving keys and Tab, which yield none or move on, pass.
    if (e->text().isEmpty() || e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab)
        return false;
    bool discard = false;
    guarded(log_, "frmSettings_txtArchiveDays_KeyPress", [&] {
        const char16_t code = e->text().front().unicode();
        if (code == 8 || code == 127 || (code >= u'0' && code <= u'9'))
            return;
        discard = true;
        prompts_.information(QStringLiteral("Please Enter a Valid Number"),
                             QStringLiteral("Invalid Data"), UserPrompts::Icon::Exclamation);
    });
    return discard;
}

void SettingsWindow::browse(const FolderRow& row) {
    guarded(log_, row.procedure, [&] {
        prompts_.openFile(QStringLiteral("*.*"),
                          [self = QPointer(this), field = QPointer(row.field)](auto chosen) {
                              if (self && field && chosen)
                                  self->useChosenFile(*field, *chosen);
                          });
    });
}

void SettingsWindow::useChosenFile(QLineEdit& field, const QString& chosen) {
    // The field shows the path's bytes one character each, so a store gives back those bytes.
    const std::optional<QByteArray> folder = folderOfChoice(QFile::encodeName(chosen));
    if (!folder)
        return;
    field.setText(QString::fromLatin1(*folder));
    valuesSaved_ = false;
}

} // namespace znr
