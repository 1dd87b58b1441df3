#pragma once

#include "config/AppSettings.h"
#include "core/DateTimeText.h"
#include "core/ErrorLog.h"
#include "protocol/Channel.h"
#include "protocol/ControlChars.h"
#include "protocol/DebugTextSink.h"
#include "protocol/ProtocolContext.h"
#include "protocol/ReceivePath.h"
#include "station/Connections.h"
#include "station/EventPump.h"
#include "station/ListRows.h"
#include "station/Login.h"
#include "support/FakeClock.h"
#include "support/FakeLink.h"
#include "support/FakePrompts.h"
#include "support/FileBytes.h"
#include "support/GuiActions.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"
#include "ui/PasswordGate.h"
#include "ui/frmLogin.h"
#include "ui/frmZNRInterface.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <vector>

namespace znr::test {

inline const QByteArray Ack8Reply(ctl::ACK8.data(), 2);

class IgnoredDebugText final : public DebugTextSink {
public:
    void appendText(const QByteArray&) override {}
};

// The real main window with the real password window in front of its guarded commands, over
// connections with fake links.
struct MainWindowFixture : ::testing::Test {
    TempDir dir;
    AppSettings settings;
    FakeClock clock;
    ErrorLog log{settings.ErrorLogFolder, clock};
    Channels channels;
    LoginState login;
    FakePrompts prompts;
    QtEventPump pump;
    PasswordGate gate{settings, login, prompts, log, pump};
    IgnoredDebugText debugText;
    bool debugMode = false;
    int settingsShown = 0;
    int newConnectionShown = 0;
    FakeLinks links;

    // What the window is built over; made once the settings are in place, as the window reads
    // DefaultStartup when it loads.
    struct Run {
        frmZNRInterface window;
        ListRows rows;
        ProtocolContext ctx;
        ReceivePath path;
        Connections c;

        explicit Run(MainWindowFixture& f)
            : window(f.settings, f.login, f.gate, f.log),
              rows(window.list()), ctx{f.settings, f.log, f.clock, rows},
              path(ctx, f.debugMode, f.debugText),
              c({f.settings, f.channels, f.log, f.clock, window.list(), path}, f.links.factory()) {
            window.attach(c, {[&f] { ++f.settingsShown; }, [&f] { ++f.newConnectionShown; }});
            window.Form_Load(); // as the start-up does once the settings are read
        }
    };
    std::unique_ptr<Run> run;

    MainWindowFixture() {
        settings.DefaultStartup = "ETHERNET";
        settings.AdminPassword = "admin";
        settings.DisconnectPassword = "disc";
        settings.ArchiveRawFile = "NO";
        settings.ErrorLogFolder = dir.sub("Error Log");
    }
    ~MainWindowFixture() override {
        run.reset();
        runDeferredDeletes();
    }

    // Builds and shows the window for a run of `defaultStartup`.
    void openWindow(const QByteArray& defaultStartup = "ETHERNET") {
        settings.DefaultStartup = defaultStartup;
        run = std::make_unique<Run>(*this);
        run->window.show();
        QApplication::processEvents();
    }
    frmZNRInterface& window() { return run->window; }
    Connections& c() { return run->c; }

    // Instruments 10.0.0.1..n on port 10001, opened as the start-up opens them.
    void createHosts(int n) {
        for (int k = 1; k <= n; ++k)
            c().openEthernet({"10.0.0." + QByteArray::number(k), 10001});
    }
    // The latest line to instrument k (null once thrown away).
    FakeLink* socket(int k) {
        QApplication::processEvents(); // lines thrown away are deleted from the event loop
        return links.to("10.0.0." + QByteArray::number(k));
    }

    template <class T> T* find(const char* name) {
        T* found = window().findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QTreeWidget* tree() { return find<QTreeWidget>("lstConnections"); }
    QString count() { return find<QLabel>("lblNumZNR")->text(); }
    QString cell(int row, int column) { return tree()->topLevelItem(row)->text(column); }
    QStringList statuses() {
        QStringList out;
        for (int r = 0; r < tree()->topLevelItemCount(); ++r)
            out.append(cell(r, ConnectionList::StatusColumn));
        return out;
    }
    QString now() const { return QString::fromLatin1(generalDateTime(clock.now())); }

    // A click on a row of the list, as the user selects it.
    void clickRow(int row) {
        QTreeWidgetItem* item = tree()->topLevelItem(row);
        ASSERT_NE(item, nullptr);
        tree()->scrollToItem(item);
        QWidget* viewport = tree()->viewport();
        const QPoint at = tree()->visualItemRect(item).center();
        QMouseEvent press(QEvent::MouseButtonPress, at, viewport->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, viewport->mapToGlobal(at),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &release);
        ASSERT_TRUE(item->isSelected());
    }
    void clickButton(const char* name) { click(find<QPushButton>(name)); }

    static frmLogin* loginWindow() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* f = qobject_cast<frmLogin*>(w); f && f->isVisible())
                return f;
        return nullptr;
    }

    // Answers the password window that is about to be shown: each entry is typed and OK
    // clicked; an empty entry clicks Cancel. `seen` counts the windows that were answered.
    int loginsAnswered = 0;
    void answerLogin(std::vector<std::optional<QString>> entries) {
        QTimer::singleShot(0, [this, entries] {
            frmLogin* w = loginWindow();
            ASSERT_NE(w, nullptr) << "no password window";
            ++loginsAnswered;
            for (const std::optional<QString>& entry : entries) {
                if (!w->isVisible())
                    return;
                if (!entry) {
                    click(w->findChild<QPushButton*>(QStringLiteral("cmdCancel")));
                    return;
                }
                w->findChild<QLineEdit*>(QStringLiteral("txtPassword"))->setText(*entry);
                click(w->findChild<QPushButton*>(QStringLiteral("cmdOK")));
            }
        });
    }

    QByteArrayList logLines() const {
        QByteArrayList out;
        for (const QByteArray& l : readBytes(log.logPath()).split('\n'))
            if (!l.isEmpty())
                out.append(l.chopped(l.endsWith('\r') ? 1 : 0));
        return out;
    }
};

} // namespace znr::test
