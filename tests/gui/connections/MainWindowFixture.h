#pragma once

#include "station/Login.h"
#include "support/FakePrompts.h"
#include "support/GuiActions.h"
#include "ui/DesktopServices.h"
#include "ui/PasswordGate.h"
#include "ui/frmLogin.h"
#include "ui/frmZNRInterface.h"
#include "unit/connections/ConnectionsFixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <optional>
#include <vector>

namespace znr::test {

// The password window on screen, if any.
inline frmLogin* loginWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<frmLogin*>(w); f && f->isVisible())
            return f;
    return nullptr;
}

// Answers the open password window: each entry is typed and OK clicked; nothing clicks Cancel.
inline void answerLogin(const std::vector<std::optional<QString>>& entries) {
    frmLogin* w = loginWindow();
    ASSERT_NE(w, nullptr) << "no password window";
    for (const std::optional<QString>& entry : entries) {
        if (!entry) {
            click(w->findChild<QPushButton*>(QStringLiteral("cmdCancel")));
            break;
        }
        w->findChild<QLineEdit*>(QStringLiteral("txtPassword"))->setText(*entry);
        click(w->findChild<QPushButton*>(QStringLiteral("cmdOK")));
        if (!w->isVisible())
            break;
    }
    ConnectionsFixture::runEvents();
}

// Records the paths the desktop is asked to open.
struct RecordingDesktop final : DesktopServices {
    QStringList opened;
    bool openPath(const QString& path) override {
        opened.append(path);
        return true;
    }
};

// The real main window and password window over the connections of ConnectionsFixture; the
// rows are read back through the window's view.
struct MainWindowFixture : ConnectionsFixture {
    LoginState login;
    FakePrompts prompts;
    RecordingDesktop desktop;
    PasswordGate gate{settings, login, prompts, log};
    int settingsShown = 0;
    std::unique_ptr<frmZNRInterface> shown;

    MainWindowFixture() {
        settings.AdminPassword = "admin";
        settings.DisconnectPassword = "disc";
    }
    ~MainWindowFixture() override {
        shown.reset();
        runDeferredDeletes();
    }

    // Shows the window of a `defaultStartup` run with instruments 10.0.0.1..n on port 10001.
    void openWindow(const QByteArray& defaultStartup = "ETHERNET", int hosts = 0) {
        settings.DefaultStartup = defaultStartup;
        shown = std::make_unique<frmZNRInterface>(settings, login, gate, log, list);
        shown->attach(c, {[this] { ++settingsShown; }, {}});
        shown->useSeams(prompts, desktop);
        followModel();
        shown->Form_Load(); // as the start-up does once the settings are read
        shown->show();
        for (int k = 1; k <= hosts; ++k)
            openHost(host(k));
    }
    frmZNRInterface& window() { return *shown; }

    template <class T> T* find(const char* name) {
        T* found = window().findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QAbstractItemModel& model() { return *find<QTreeView>("lstConnections")->model(); }
    QString count() { return find<QLabel>("lblNumZNR")->text(); }
    // The rows as the view was told them: kept up to date only through the model's signals, so
    // a change the model does not announce shows as a stale text.
    QList<QStringList> announced;
    void followModel() {
        QAbstractItemModel* m = &model();
        announced.clear();
        const auto fetch = [this, m](int first, int last) {
            for (int r = first; r <= last; ++r) {
                QStringList texts;
                for (int c = 0; c < m->columnCount(); ++c)
                    texts.append(m->index(r, c).data().toString());
                announced.insert(r, texts);
            }
        };
        QObject::connect(m, &QAbstractItemModel::rowsInserted, m,
                         [fetch](const QModelIndex&, int first, int last) { fetch(first, last); });
        QObject::connect(m, &QAbstractItemModel::rowsRemoved, m,
                         [this](const QModelIndex&, int first, int last) {
                             announced.remove(first, last - first + 1);
                         });
        QObject::connect(m, &QAbstractItemModel::dataChanged, m,
                         [this, fetch](const QModelIndex& from, const QModelIndex& to) {
                             announced.remove(from.row(), to.row() - from.row() + 1);
                             fetch(from.row(), to.row());
                         });
    }
    QStringList shownColumn(int column) {
        QStringList out;
        for (const QStringList& row : announced)
            out.append(row.value(column));
        return out;
    }
    QStringList statuses() { return shownColumn(ConnectionList::StatusColumn); }

    // A click on a row of the list, as the user selects it.
    void clickRow(int row) {
        auto* view = find<QTreeView>("lstConnections");
        const QModelIndex item = model().index(row, 0);
        view->scrollTo(item);
        click(view->viewport(), QRectF(view->visualRect(item)).center());
        ASSERT_EQ(list.selectedPosition(), std::optional<int>(row));
    }
    void clickButton(const char* name) { click(find<QPushButton>(name)); }
};

} // namespace znr::test
