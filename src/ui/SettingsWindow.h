#pragma once

#include "config/SettingsOptions.h"

#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace znr {

struct AppSettings;
struct LoginState;
class ClickableLabel;
class ConnectionList;
class ErrorLog;
class UserPrompts;

// The settings window: two pages of options stored into AppSettings and the settings file by
// storeValues. Not modal; it deletes itself when closed. Its load runs when it is first shown.
// `showDebugWindow` shows the trouble-shooting window (creating it when needed); the window
// then sets `debugMode` itself. All references must outlive the window.
class SettingsWindow final : public QWidget {
    Q_OBJECT
public:
    SettingsWindow(AppSettings& settings, LoginState& login, bool& debugMode, ConnectionList& list,
                   UserPrompts& prompts, const ErrorLog& log, std::function<void()> showDebugWindow,
                   QWidget* parent = nullptr);

    // False while edits may be unsaved: cleared when an option field gets the focus or a browse
    // fills a field, set by every store. Closing asks about saving only while it is false.
    bool valuesSaved() const { return valuesSaved_; }

    void load();
    void showOptions();
    void rewriteOptions();
    void storeValues();
    void showFileSetupPage();
    void showGeneralPage();
    void save();
    void cancel();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override; // the closing sequence
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    enum class Page { FileSetup, General };
    struct HelpEntry {
        QWidget* field;
        const char* procedure; // its focus handler's name in the log
        const char* title;
        const char* text;
    };
    struct FolderRow {
        QLabel* caption;
        QLineEdit* field;
        QPushButton* button;
        const char* procedure; // the browse button's name in the log
    };

    // Building (SettingsWindowLayout.cpp).
    void buildPanel();
    void buildHeadings();
    void buildFileSetupPage();
    void buildGeneralPage();
    void buildHelpTable();
    void setKeyboardOrder();
    QLineEdit* addLineEdit(const char* name, QRect geometry);
    QComboBox* addComboBox(const char* name, QRect geometry);
    QLabel* addCaption(const char* name, const char* text, QRect geometry);

    // Behaviour (SettingsWindow.cpp).
    void switchPage(Page page);
    void gotFocus(const HelpEntry& entry);
    bool filterArchiveDaysKey(QKeyEvent* e); // true when the key is discarded
    void browse(const FolderRow& row);
    void useChosenFile(QLineEdit& field, const QString& chosen);
    OptionTexts fieldTexts() const;
    // Asks whether to save, once; its answer closes the window again. False when the question
    // could not be asked: closing goes on as after No.
    bool askToSave();
    void onSaveAnswer(bool save);
    // The closing sequence once the question is settled; true when the window stays open.
    bool unload(bool save);

    AppSettings& settings_;
    LoginState& login_;
    bool& debugMode_;
    ConnectionList& list_;
    UserPrompts& prompts_;
    const ErrorLog& log_;
    std::function<void()> showDebugWindow_;
    bool valuesSaved_ = false;
    bool loaded_ = false;
    std::optional<bool> saveAnswer_; // answered but not yet acted on by a close
    bool askingToSave_ = false;

    ClickableLabel* imgFileSetup_ = nullptr;
    ClickableLabel* lblFileSetup_ = nullptr;
    ClickableLabel* imgGeneral_ = nullptr;
    ClickableLabel* lblGeneral_ = nullptr;
    ClickableLabel* imgSave_ = nullptr;
    ClickableLabel* lblSave_ = nullptr;
    ClickableLabel* imgCancel_ = nullptr;
    ClickableLabel* lblCancel_ = nullptr;
    QLabel* lblSettings_ = nullptr;
    QLabel* lblSetting2_ = nullptr;
    QLabel* lblOption_ = nullptr;
    QLabel* lblDescription_ = nullptr;

    QComboBox* cboDataLayout_ = nullptr;
    QComboBox* cboDefaultStartup_ = nullptr;
    QLineEdit* txtAdminPassword_ = nullptr;
    QLineEdit* txtDisconnectPwd_ = nullptr;
    QComboBox* cboArchiveRawFile_ = nullptr;
    QLineEdit* txtArchiveDays_ = nullptr;
    QLineEdit* txtCheckRodID_ = nullptr;
    QComboBox* cboDebugMode_ = nullptr;
    std::vector<FolderRow>
        folderRows_; // page order: data, cal. check, check rods, fast, error, raw

    std::vector<QWidget*> generalPage_;   // captions and fields of the General page
    std::vector<QWidget*> fileSetupPage_; // captions, fields and buttons of the File Setup page
    std::vector<HelpEntry> help_;
};

} // namespace znr
