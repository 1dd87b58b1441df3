#pragma once

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <span>
#include <string_view>

class QLabel;
class QTreeView;

namespace znr {

struct AppSettings;
struct LoginState;
class Connections;
class ConnectionList;
class ConnectionListModel;
class DesktopServices;
class ErrorLog;
class PasswordGate;
struct MenuEntry;
class UserPrompts;
class LastBatchWindow;

// The main window: the connection list with its count, the five buttons and the File and
// Tools menus. It owns only its widgets; it shows `list` and drives the connections through
// `Connections`. The password-guarded commands act once the password window has been answered.
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    struct Actions {
        std::function<void()> showSettings;      // after the administrator password
        std::function<void()> showNewConnection; // the dialog of the run's transport
    };

    MainWindow(const AppSettings& settings, LoginState& login, PasswordGate& gate,
               const ErrorLog& log, ConnectionList& list, QWidget* parent = nullptr);
    ~MainWindow() override;

    ConnectionList& list() { return list_; }
    void attach(Connections& connections, Actions actions);
    // The message boxes and the desktop's file handler of the File and Tools commands.
    void useSeams(UserPrompts& prompts, DesktopServices& desktop);
    // The window's load: the count "0" and the list headings of the transport in the settings.
    // Runs once the settings are read, before the first instrument is handed to the window.
    void start();

    void onNewConnectionClicked();
    void onConnectClicked();
    void onDisconnectClicked();
    void onDisconnectAllClicked();
    void onDeleteConnectionClicked();
    void onConfigureTriggered();
    void onExitTriggered();
    // Beside the specified commands: the reconnect interval (administrator password), and the
    // data folder and the error log opened with the desktop's handler (no password: read-only).
    void onReconnectTriggered();
    void onOpenDataFolderTriggered();
    void onOpenErrorLogTriggered();
    // View > Last Batch: the Last Batch window of the selected row's connection.
    void onLastBatchTriggered();
    // The Last Batch window of connection `index`: one per connection, brought to the front.
    void showLastBatch(int index);

    // True once the administrator allowed the window to close and every connection was closed.
    bool closedForGood() const { return closedForGood_; }

protected:
    void closeEvent(QCloseEvent* e) override; // the closing sequence

private:
    void buildMenus();
    void addMenu(const char* name, const char* caption, std::span<const MenuEntry> entries);
    QWidget* buildButtons();
    void askPassword(const QByteArray& purpose, std::string_view procedure,
                     std::function<void(bool allowed)> answered);
    void behindDisconnectPassword(std::string_view procedure, void (Connections::*operation)());
    void behindAdminPassword(std::string_view procedure, std::function<void()> operation);
    void applyReconnectSeconds(qint16 seconds);
    // Opens `path` with the desktop's handler, or says that it is missing (`exists` false).
    void openWithDesktop(const QByteArray& path, bool exists, const QString& what);
    void closeForGood();

    const AppSettings& settings_;
    LoginState& login_;
    PasswordGate& gate_;
    const ErrorLog& log_;
    ConnectionList& list_;
    ConnectionListModel* model_;
    QTreeView* lstConnections_;
    QLabel* lblNumZNR_;
    Connections* connections_ = nullptr;
    UserPrompts* prompts_ = nullptr;
    DesktopServices* desktop_ = nullptr;
    Actions actions_;
    QHash<int, QPointer<LastBatchWindow>> lastBatchWindows_;
    bool closedForGood_ = false;
};

} // namespace znr
