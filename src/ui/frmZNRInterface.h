#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>

class QLabel;
class QTreeWidget;

namespace znr {

struct AppSettings;
struct LoginState;
class Connections;
class ConnectionList;
class ErrorLog;
class PasswordGate;
class TreeConnectionList;

// The main window: the connection list with its count, the five buttons and the File and
// Tools menus. It owns only its widgets; the connections are driven through `Connections`.
class frmZNRInterface final : public QMainWindow {
    Q_OBJECT
public:
    struct Actions {
        std::function<void()> showSettings;      // after the administrator password
        std::function<void()> showNewConnection; // the dialog of the run's transport
    };

    frmZNRInterface(const AppSettings& settings, LoginState& login, PasswordGate& gate,
                    const ErrorLog& log, QWidget* parent = nullptr);
    ~frmZNRInterface() override;

    // The list as the logic sees it; valid for the window's lifetime.
    ConnectionList& list();
    void attach(Connections& connections, Actions actions);
    // The window's load: the count "0" and the list headings of the transport in the settings.
    // Runs once the settings are read, before the first instrument is handed to the window.
    void Form_Load();

    void cmdNewConnection_Click();
    void cmdConnect_Click();
    void cmdDisconnect_Click();
    void cmdDisconnectAll_Click();
    void cmdDeleteConnection_Click();
    void mnuConfigure_Click();
    void mnuExit_Click();

    // True once the administrator allowed the window to close and every connection was closed.
    bool closedForGood() const { return closedForGood_; }

protected:
    void closeEvent(QCloseEvent* e) override; // Form_Unload

private:
    void buildMenus();
    QWidget* buildButtons();
    void behindDisconnectPassword(const char* procedure, void (Connections::*operation)());

    const AppSettings& settings_;
    LoginState& login_;
    PasswordGate& gate_;
    const ErrorLog& log_;
    QTreeWidget* lstConnections_;
    QLabel* lblNumZNR_;
    std::unique_ptr<TreeConnectionList> list_;
    Connections* connections_ = nullptr;
    Actions actions_;
    bool closedForGood_ = false;
};

} // namespace znr
