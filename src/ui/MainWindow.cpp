#include "ui/MainWindow.h"

#include "config/AppSettings.h"
#include "config/LoadSettings.h"
#include "core/ErrorLog.h"
#include "core/Files.h"
#include "core/LogNames.h"
#include "station/ConnectionList.h"
#include "station/Connections.h"
#include "station/Login.h"
#include "ui/ConnectionListModel.h"
#include "ui/DesktopServices.h"
#include "ui/LastBatchWindow.h"
#include "ui/PasswordGate.h"
#include "ui/ReconnectDialog.h"
#include "ui/UserPrompts.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace znr {
namespace {

// The window's own icon: the product's round blue mark, drawn rather than loaded.
QIcon windowMark() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 84, 147));
    p.drawEllipse(1, 1, 30, 30);
    p.setPen(Qt::white);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(16);
    p.setFont(font);
    p.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("Z"));
    return QIcon(pixmap);
}

} // namespace

MainWindow::MainWindow(const AppSettings& settings, LoginState& login, PasswordGate& gate,
                       const ErrorLog& log, ConnectionList& list, QWidget* parent)
    : QMainWindow(parent), settings_(settings), login_(login), gate_(gate), log_(log), list_(list),
      model_(new ConnectionListModel(list, this)) {
    setObjectName(QStringLiteral("frmZNRInterface"));
    setWindowTitle(QStringLiteral("ZNR Data Extractor"));
    setWindowIcon(windowMark());

    auto* central = new QWidget(this);
    auto* Label1 = new QLabel(QStringLiteral("Number of ZNR's Connected:"), central);
    Label1->setObjectName(QStringLiteral("Label1"));
    lblNumZNR_ = new QLabel(central);
    lblNumZNR_->setObjectName(QStringLiteral("lblNumZNR"));
    connect(&list, &ConnectionList::countChanged, lblNumZNR_,
            [this] { lblNumZNR_->setText(QString::number(list_.connectedCount())); });
    lstConnections_ = new QTreeView(central);
    lstConnections_->setObjectName(QStringLiteral("lstConnections"));
    model_->showIn(*lstConnections_);
    connect(lstConnections_, &QTreeView::doubleClicked, this,
            [this](const QModelIndex& row) { showLastBatch(list_.indexAt(row.row())); });

    auto* countRow = new QHBoxLayout;
    countRow->addWidget(Label1);
    countRow->addWidget(lblNumZNR_);
    countRow->addStretch();
    auto* layout = new QVBoxLayout(central);
    layout->addLayout(countRow);
    layout->addWidget(lstConnections_);
    layout->addWidget(buildButtons());
    setCentralWidget(central);
    buildMenus();
    resize(760, 420);
}

MainWindow::~MainWindow() = default;

void MainWindow::attach(Connections& connections, Actions actions) {
    connections_ = &connections;
    actions_ = std::move(actions);
}

void MainWindow::useSeams(UserPrompts& prompts, DesktopServices& desktop) {
    prompts_ = &prompts;
    desktop_ = &desktop;
}

QWidget* MainWindow::buildButtons() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    const struct {
        const char* name;
        const char* caption;
        void (MainWindow::*handler)();
    } buttons[] = {
        {"cmdNewConnection", "New Connection", &MainWindow::onNewConnectionClicked},
        {"cmdConnect", "Connect", &MainWindow::onConnectClicked},
        {"cmdDisconnect", "Disconnect", &MainWindow::onDisconnectClicked},
        {"cmdDisconnectAll", "Disconnect All", &MainWindow::onDisconnectAllClicked},
        {"cmdDeleteConnection", "Delete Connection", &MainWindow::onDeleteConnectionClicked},
    };
    for (const auto& b : buttons) {
        auto* button = new QPushButton(QString::fromLatin1(b.caption), row);
        button->setObjectName(QString::fromLatin1(b.name));
        connect(button, &QPushButton::clicked, this, b.handler);
        layout->addWidget(button);
    }
    return row;
}

// A menu entry: its name, caption and command; an entry without a name is a separator.
struct MenuEntry {
    const char* name;
    const char* caption;
    void (MainWindow::*command)();
};

void MainWindow::buildMenus() {
    const MenuEntry file[] = {
        {"mnuOpenDataFolder", "Open Data Folder", &MainWindow::onOpenDataFolderTriggered},
        {"mnuOpenErrorLog", "Open Error Log", &MainWindow::onOpenErrorLogTriggered},
        {nullptr, nullptr, nullptr},
        {"mnuExit", "Exit", &MainWindow::onExitTriggered},
    };
    const MenuEntry tools[] = {
        {"mnuConfigure", "Configure", &MainWindow::onConfigureTriggered},
        {"mnuReconnect", "Reconnect...", &MainWindow::onReconnectTriggered},
    };
    const MenuEntry view[] = {
        {"mnuLastBatch", "Last Batch", &MainWindow::onLastBatchTriggered},
    };
    addMenu("mnuFile", "File", file);
    addMenu("mnuView", "View", view);
    addMenu("mnuTools", "Tools", tools);
}

void MainWindow::addMenu(const char* name, const char* caption,
                         std::span<const MenuEntry> entries) {
    QMenu* menu = menuBar()->addMenu(QString::fromLatin1(caption));
    menu->setObjectName(QString::fromLatin1(name));
    for (const MenuEntry& entry : entries) {
        if (!entry.name) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromLatin1(entry.caption));
        action->setObjectName(QString::fromLatin1(entry.name));
        connect(action, &QAction::triggered, this, entry.command);
    }
}

// The count starts at "0"; the headings are those of the run's transport.
void MainWindow::start() {
    guarded(log_, "frmZNRInterface.Form_Load", [&] {
        list_.setConnectedCount(0);
        list_.setHeadingsOfRun(settings_.defaultStartup);
    });
}

void MainWindow::onNewConnectionClicked() {
    guarded(log_, "frmZNRInterface.cmdNewConnection_Click", [&] {
        if (actions_.showNewConnection)
            actions_.showNewConnection();
    });
}

void MainWindow::onConnectClicked() {
    if (connections_)
        connections_->reopenSelected();
}

// Asks for the password of `purpose` and hands the answer to `answered`; a failure on either
// side of the wait is logged under `procedure`.
void MainWindow::askPassword(const QByteArray& purpose, std::string_view procedure,
                             std::function<void(bool allowed)> answered) {
    guarded(log_, procedure, [&] {
        gate_.ask(purpose, [this, procedure, answered = std::move(answered)](bool allowed) {
            guarded(log_, procedure, [&] { answered(allowed); });
        });
    });
}

void MainWindow::behindDisconnectPassword(std::string_view procedure,
                                          void (Connections::*operation)()) {
    askPassword("DISCONNECT", procedure, [this, operation](bool allowed) {
        if (allowed && connections_)
            (connections_->*operation)();
        login_.loggedIn = false;
    });
}

void MainWindow::onDisconnectClicked() {
    behindDisconnectPassword("frmZNRInterface.cmdDisconnect_Click",
                             &Connections::disconnectSelected);
}

void MainWindow::onDisconnectAllClicked() {
    behindDisconnectPassword("frmZNRInterface.cmdDisconnectAll_Click", &Connections::disconnectAll);
}

void MainWindow::onDeleteConnectionClicked() {
    behindDisconnectPassword(logname::DeleteClick, &Connections::deleteSelected);
}

void MainWindow::behindAdminPassword(std::string_view procedure, std::function<void()> operation) {
    askPassword("MENU", procedure, [this, operation = std::move(operation)](bool allowed) {
        if (!allowed)
            return;
        operation();
        login_.loggedIn = false;
    });
}

void MainWindow::onConfigureTriggered() {
    behindAdminPassword("frmZNRInterface.mnuConfigure_Click", [this] {
        if (actions_.showSettings)
            actions_.showSettings();
    });
}

void MainWindow::onReconnectTriggered() {
    behindAdminPassword("frmZNRInterface.mnuReconnect_Click", [this] {
        if (!prompts_)
            return;
        auto* dialog = new ReconnectDialog(
            settings_.reconnectSeconds, *prompts_,
            [this](qint16 seconds) { applyReconnectSeconds(seconds); }, this);
        dialog->open();
    });
}

// Written to the INI for the next start, and in force at once for this run.
void MainWindow::applyReconnectSeconds(qint16 seconds) {
    writeReconnectSeconds(settings_.iniFilePath, seconds, log_);
    if (connections_)
        connections_->setReconnectSeconds(seconds);
}

void MainWindow::onOpenDataFolderTriggered() {
    guarded(log_, "frmZNRInterface.mnuOpenDataFolder_Click", [&] {
        const QByteArray& folder = settings_.dataFolder;
        openWithDesktop(folder, !folder.isEmpty() && folderExists(folder),
                        QStringLiteral("The data folder"));
    });
}

void MainWindow::onOpenErrorLogTriggered() {
    guarded(log_, "frmZNRInterface.mnuOpenErrorLog_Click", [&] {
        const QByteArray path = log_.logPath();
        openWithDesktop(path, !path.isEmpty() && QFileInfo(QFile::decodeName(path)).isFile(),
                        QStringLiteral("The error log"));
    });
}

void MainWindow::openWithDesktop(const QByteArray& path, bool exists, const QString& what) {
    if (!prompts_ || !desktop_)
        return;
    const QString shown = QFile::decodeName(path);
    if (!exists)
        prompts_->information(what + QStringLiteral(" does not exist:\n") + shown,
                              QStringLiteral("Not Found"), UserPrompts::Icon::Exclamation);
    else if (!desktop_->openPath(shown))
        prompts_->information(QStringLiteral("No program of the desktop could open:\n") + shown,
                              QStringLiteral("Not Opened"), UserPrompts::Icon::Exclamation);
}

void MainWindow::onExitTriggered() {
    guarded(log_, "frmZNRInterface.mnuExit_Click", [&] { close(); });
}

// Closing asks for the administrator password; the window stays until it is given.
void MainWindow::closeEvent(QCloseEvent* e) {
    if (closedForGood_) {
        e->accept();
        return;
    }
    e->ignore();
    askPassword("CLOSE", logname::Shutdown, [this](bool allowed) {
        if (allowed)
            closeForGood();
    });
}

// Ends the run once every line is closed; at once when none has bytes left to send.
void MainWindow::closeForGood() {
    const auto finish = [this] {
        closedForGood_ = true;
        close();
        QCoreApplication::exit(0);
    };
    if (connections_)
        connections_->shutDown(finish);
    else
        finish();
}

void MainWindow::onLastBatchTriggered() {
    if (const std::optional<int> row = list_.selectedPosition())
        showLastBatch(list_.indexAt(*row));
}

void MainWindow::showLastBatch(int index) {
    if (!connections_)
        return;
    QPointer<LastBatchWindow>& window = lastBatchWindows_[index];
    if (!window)
        window = new LastBatchWindow(*connections_, list_, index, desktop_, this);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace znr
