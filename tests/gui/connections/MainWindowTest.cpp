#include "ui/MainWindow.h"

#include "protocol/DebugText.h"
#include "station/Login.h"
#include "support/CaseTable.h"
#include "support/FakePrompts.h"
#include "support/GuiActions.h"
#include "support/ProgramRun.h"
#include "ui/ClickableLabel.h"
#include "ui/DesktopServices.h"
#include "ui/LastBatchWindow.h"
#include "ui/LoginDialog.h"
#include "ui/PasswordGate.h"
#include "ui/Program.h"
#include "ui/ReconnectDialog.h"
#include "ui/SettingsWindow.h"
#include "ui/SplashScreen.h"
#include "ui/TroubleShootingWindow.h"
#include "unit/connections/ConnectionsFixture.h"

#include <QAction>
#include <QBrush>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QTreeView>
#include <functional>
#include <optional>
#include <vector>

namespace znr::test {
namespace {

// The window of type T on screen, if any.
template <class T> T* visible() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && qobject_cast<T*>(w))
            return static_cast<T*>(w);
    return nullptr;
}

// Answers the open password window: each entry is typed and OK clicked; nothing clicks Cancel.
void answerLogin(const std::vector<std::optional<QString>>& entries) {
    LoginDialog* w = visible<LoginDialog>();
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
    std::unique_ptr<MainWindow> shown;

    MainWindowFixture() {
        settings.adminPassword = "admin";
        settings.disconnectPassword = "disc";
    }
    ~MainWindowFixture() override {
        shown.reset();
        runDeferredDeletes();
    }

    // Shows the window of a `defaultStartup` run with instruments 10.0.0.1..n on port 10001.
    void openWindow(const QByteArray& defaultStartup = "ETHERNET", int hosts = 0) {
        settings.defaultStartup = defaultStartup;
        shown = std::make_unique<MainWindow>(settings, login, gate, log, list);
        shown->attach(c, {[this] { ++settingsShown; }, {}});
        shown->useSeams(prompts, desktop);
        followModel();
        shown->start(); // as the start-up does once the settings are read
        shown->show();
        for (int k = 1; k <= hosts; ++k)
            openHost(host(k));
    }
    MainWindow& window() { return *shown; }

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

using MainWindowTest = MainWindowFixture;
using Col = ConnectionList::Column;

struct PasswordGuardTest : MainWindowFixture, ::testing::WithParamInterface<QByteArrayList> {
    // The rows and the count as the view shows them.
    QString shown() {
        QStringList rows;
        for (const QStringList& row : announced)
            rows.append(row[Col::EndpointColumn] + u' ' + row[Col::StatusColumn]);
        return rows.join(u',') + u';' + count();
    }
};

// Each guarded command acts only once its password is given; the cases are in a table.
TEST_P(PasswordGuardTest, CommandActsOnlyOnceItsPasswordIsGiven) {
    const QByteArray action = GetParam()[0];
    std::vector<std::optional<QString>> answers;
    for (const QByteArray& typed : GetParam()[1].split(','))
        answers.push_back(typed == "-" ? std::nullopt : std::optional(QString::fromLatin1(typed)));
    const bool allowed = GetParam()[2] == "1";
    openWindow("ETHERNET", 2);
    clickRow(0);
    if (action == "close")
        window().close();
    else if (action.startsWith("mnu"))
        find<QAction>(action.constData())->trigger();
    else
        clickButton(action.constData());
    const bool menu = action == "mnuConfigure";
    const bool closing = action == "close" || action == "mnuExit";
    const QString before = shown();
    EXPECT_EQ(login.purpose, menu ? "MENU" : closing ? "CLOSE" : "DISCONNECT");
    EXPECT_EQ(before, "10.0.0.1 Connected,10.0.0.2 Connected;2"); // nothing before the answer

    answerLogin(answers);
    EXPECT_EQ(prompts.shown,
              QStringList(GetParam()[3].toInt(), "Login|Invalid Password, try again!"));
    EXPECT_EQ(settingsShown, menu && allowed ? 1 : 0);
    EXPECT_EQ(window().closedForGood(), closing && allowed);
    EXPECT_EQ(window().isVisible(), !(closing && allowed));
    EXPECT_EQ(c.hasEntry(2), !(closing && allowed)); // closing for good shuts every line
    if (!closing || !allowed) {
        EXPECT_EQ(shown(), allowed ? QString::fromLatin1(GetParam()[4]) : before);
    }
}
INSTANTIATE_TEST_SUITE_P(Commands, PasswordGuardTest,
                         ::testing::ValuesIn(caseTable("settings/guarded-commands.txt")),
                         [](const auto& info) {
                             return info.param[0].toStdString() + "_" + std::to_string(info.index);
                         });

// A frame updates the row of its own connection wherever a delete moved it; a drop marks its
// row, and Connect reopens it without a password.
TEST_F(MainWindowTest, RowsFollowTheirConnectionsAfterADelete) {
    openWindow("ETHERNET", 3);
    link(3).receive(wireFrame("IST", "RUN MODE,a,b,1111"));
    clickRow(0);
    clickButton("cmdDeleteConnection");
    answerLogin({QStringLiteral("disc")});
    EXPECT_EQ(list.selectedPosition(), 0); // the view moved the selection to the next row
    openHost("10.0.0.9", 10009);
    EXPECT_EQ(shownColumn(Col::EndpointColumn), (QStringList{"10.0.0.2", "10.0.0.3", "10.0.0.9"}));

    clock.advanceMs(5'000);
    link(3).receive(wireFrame("IST", "RUN MODE,a,b,4711"));
    link(2).drop(10054, "Connection is reset by remote side");
    EXPECT_EQ(shownColumn(Col::IdColumn), (QStringList{"N/A", "4711", "N/A"}));
    EXPECT_EQ(statuses(), (QStringList{"Disconnected", "Connected", "Connected"}));
    EXPECT_EQ(shownColumn(Col::LastUpdatedColumn)[1], QString::fromLatin1(now()));
    EXPECT_EQ(count(), QStringLiteral("2"));
    clickRow(0);
    clickButton("cmdConnect");
    EXPECT_EQ(visible<LoginDialog>(), nullptr);
    EXPECT_EQ(statuses(), (QStringList{"Connected", "Connected", "Connected"}));
}

// The password window on its own, over the main window fixture's settings and log.
using LoginTest = MainWindowFixture;

// Each purpose is checked exactly against its own password; a wrong one keeps the window open.
TEST_F(LoginTest, EachPurposeAcceptsOnlyItsOwnPassword) {
    for (const QByteArrayList& k : caseTable("settings/login-passwords.txt")) {
        SCOPED_TRACE(k.join('|').constData());
        settings.disconnectPassword = k[3];
        prompts.shown.clear();
        QList<bool> answers;
        gate.ask(k[0], [&](bool allowed) { answers.append(allowed); });
        EXPECT_EQ(login.purpose, k[0]);
        answerLogin({QString::fromUtf8(k[1]), std::nullopt});
        EXPECT_EQ(answers, QList<bool>{k[2] == "1"});
        EXPECT_EQ(prompts.shown.size(), k[2] == "1" ? 0 : 1);
        EXPECT_EQ(visible<LoginDialog>(), nullptr);
    }
}

// A key, or a click (press, then release) on the frame's own area, leaves the splash early and
// makes the folders; a press and its release apart, over a label, do not. The timer
// started on showing leaves it without making the folders.
TEST_F(LoginTest, SplashLeavesEarlyOnAKeyOrAClickOnTheFrameItself) {
    const auto inside = [](SplashScreen& s, const char* name) {
        return s.findChild<QWidget*>(QString::fromLatin1(name));
    };
    const QPointF frameEdge(3, 3); // inside the frame, outside every label
    const struct {
        const char* name;
        std::function<void(SplashScreen&)> act;
        bool leaves;
        bool makesFolders;
    } cases[] = {
        {"press, release on a label, release",
         [&](SplashScreen& s) {
             QWidget* frame = inside(s, "Frame1");
             mouseButton(frame, QEvent::MouseButtonPress, frameEdge);
             mouseButton(frame, QEvent::MouseButtonRelease,
                         QRectF(inside(s, "lblVersion")->geometry()).center());
             mouseButton(frame, QEvent::MouseButtonRelease, frameEdge);
         },
         false, false},
        {"frame", [&](SplashScreen& s) { click(inside(s, "Frame1"), frameEdge); }, true, true},
        {"key", [](SplashScreen& s) { typeKey(&s, Qt::Key_A, QStringLiteral("a")); }, true, true},
        {"timer", [](SplashScreen& s) { s.onLeaveTimer(); }, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int foldersMade = 0;
        int mainShown = 0;
        QPointer<SplashScreen> splash =
            new SplashScreen(settings, log, {{}, [&] { ++foldersMade; }, [&] { ++mainShown; }});
        splash->start();
        splash->show();
        QApplication::processEvents();
        EXPECT_EQ(QApplication::focusWidget(), splash.data());
        const auto* timer = splash->findChild<QTimer*>(QStringLiteral("Timer1"));
        c.act(*splash);
        if (c.leaves)
            splash->onKeyPressed(); // a second way out does nothing
        EXPECT_EQ(mainShown, c.leaves ? 1 : 0);
        EXPECT_EQ(foldersMade, c.makesFolders ? 1 : 0);
        EXPECT_EQ(timer->isActive(), !c.leaves);
        runDeferredDeletes();
        EXPECT_EQ(splash.isNull(), c.leaves);
        delete splash.data();
    }
}

// What the operator sees beside the specified texts: drops, the reconnect interval, the files.

struct OperatorSignalsTest : MainWindowFixture {
    bool tinted(int row) {
        const QVariant tint = model().index(row, 0).data(Qt::BackgroundRole);
        return tint.isValid() &&
               tint.value<QBrush>().color() != QGuiApplication::palette().color(QPalette::Base);
    }
    QString tip(int row) { return model().index(row, 4).data(Qt::ToolTipRole).toString(); }
};

TEST_F(OperatorSignalsTest, DroppedRowSaysWhyUntilRestoredWhileAnOperatorsDisconnectStaysPlain) {
    settings.reconnectSeconds = 10;
    openWindow("ETHERNET", 2);
    int tintsAnnounced = 0;
    QObject::connect(&model(), &QAbstractItemModel::dataChanged, &model(),
                     [&](auto&, auto&, const QList<int>& roles) {
                         tintsAnnounced += roles.contains(Qt::BackgroundRole);
                     });
    clock.advanceMs(60'000);
    links.opening = FakeLink::Opening::Later;
    link(1).drop(10054, "Connection is reset by remote side");
    EXPECT_EQ(statuses(), (QStringList{"Disconnected", "Connected"}));
    EXPECT_TRUE(tinted(0));
    EXPECT_EQ(tintsAnnounced, 1);
    EXPECT_EQ(tip(0), QString::fromLatin1(now() + ": Connection is reset by remote side (10054)\n"
                                                  "retrying every 10 s"));
    clickRow(1);
    clickButton("cmdDisconnect");
    answerLogin({QStringLiteral("disc")});
    EXPECT_FALSE(tinted(1));
    c.retryDropped(); // the retry gets through: plain again
    link(1).succeed();
    EXPECT_EQ(statuses(), (QStringList{"Connected", "Disconnected"}));
    EXPECT_FALSE(tinted(0));
}

// Refused texts leave the dialog open with a message; a valid one is written in place and
// retries a connection that dropped while the reconnect was off.
TEST_F(OperatorSignalsTest, ReconnectMenuWritesTheKeyAndTakesEffectAtOnce) {
    settings.iniFilePath = QFile::decodeName(dir.path("ZNRExtractor.ini"));
    const QByteArray before = "[DEFAULT]\r\nMODE=ETHERNET\r\n[RECONNECT]\r\nSECONDS=0\r\n;x\r\n";
    writeBytes(dir.path("ZNRExtractor.ini"), before);
    openWindow("ETHERNET", 1);
    link(1).drop(10054, "Connection is reset by remote side");
    EXPECT_EQ(tip(0), QString::fromLatin1(now() + ": Connection is reset by remote side (10054)"));
    EXPECT_FALSE(c.retryTimerRunning());
    find<QAction>("mnuReconnect")->trigger();
    EXPECT_EQ(login.purpose, "MENU");
    EXPECT_EQ(visible<ReconnectDialog>(), nullptr);
    answerLogin({QStringLiteral("admin")});
    ReconnectDialog* dialog = visible<ReconnectDialog>();
    ASSERT_NE(dialog, nullptr);
    auto* txtSeconds = dialog->findChild<QLineEdit*>(QStringLiteral("txtSeconds"));
    EXPECT_EQ(txtSeconds->text(), QStringLiteral("0"));
    const QString refused = "Invalid Data|Enter a whole number of seconds from 0 to 3600 (0 "
                            "turns the reconnect off).|!";
    for (const char* typed : {"abc", "5000", "-1", " 10 "}) {
        prompts.shown.clear();
        txtSeconds->setText(QString::fromLatin1(typed));
        click(dialog->findChild<QPushButton*>(QStringLiteral("cmdOK")));
        const bool valid = QByteArray(typed) == " 10 ";
        EXPECT_EQ(prompts.shown, valid ? QStringList() : QStringList{refused}) << typed;
        EXPECT_EQ(readBytes(dir.path("ZNRExtractor.ini")),
                  valid ? QByteArray(before).replace("SECONDS=0", "SECONDS= 10") : before);
    }
    EXPECT_EQ(visible<ReconnectDialog>(), nullptr);
    EXPECT_TRUE(c.retryTimerRunning());
}

// No password: the path goes to the desktop, or a message says that it is missing.
TEST_F(OperatorSignalsTest, FileMenuOpensTheDataFolderAndTheErrorLogWithTheDesktop) {
    openWindow();
    const QString data = settings.dataFolder, gone = dir.path("gone/");
    log.write("x", 0, "y");
    const std::pair<const char*, QString> cases[] = {
        {"mnuOpenDataFolder", "opened " + data},
        {"mnuOpenErrorLog", "opened " + settings.errorLogFolder + "ZNRError.log"},
        {"mnuOpenDataFolder", "Not Found|The data folder does not exist:\n" + gone + "|!"},
    };
    for (const auto& [action, result] : cases) {
        settings.dataFolder = (result.startsWith(u'N') ? gone : data).toLatin1();
        desktop.opened.clear();
        prompts.shown.clear();
        find<QAction>(action)->trigger();
        EXPECT_EQ(visible<LoginDialog>(), nullptr);
        QStringList shown = prompts.shown;
        for (const QString& path : desktop.opened)
            shown.append("opened " + path);
        EXPECT_EQ(shown, QStringList{result});
    }
}

// The whole program: debug mode chosen in the settings window opens the trouble-shooting
// window beside the main window (below it, on the small offscreen screen), which has no status
// bar under its buttons.
TEST(OperatorSignalsProgram, TroubleShootingWindowOpensBesideTheMainWindow) {
    TempDir dir;
    writeBytes(dir.path("ZNRExtractor.ini"), iniText(ProgramConfig{}, dir.folder()));
    Program program(QFile::decodeName(dir.folder().chopped(1)));
    program.start();
    visible<SplashScreen>()->onKeyPressed();
    MainWindow* main = visible<MainWindow>();
    EXPECT_EQ(main->findChild<QStatusBar*>(), nullptr);
    main->resize(main->minimumSizeHint());
    main->findChild<QAction*>(QStringLiteral("mnuConfigure"))->trigger();
    answerLogin({QStringLiteral("admin")});
    SettingsWindow* settings = visible<SettingsWindow>();
    ASSERT_NE(settings, nullptr);
    settings->findChild<QComboBox*>(QStringLiteral("cboDebugMode"))->setCurrentText("YES");
    settings->close();
    const TroubleShootingWindow* debug = visible<TroubleShootingWindow>();
    ASSERT_NE(debug, nullptr);
    EXPECT_FALSE(debug->frameGeometry().intersects(main->frameGeometry()));
    EXPECT_TRUE(main->screen()->availableGeometry().contains(debug->frameGeometry()));
}

// The main window with instrument 1 connected.
struct LastBatch : MainWindowFixture {
    LastBatch() {
        settings.calCheckFolder = dir.sub("Cal Check");
        openWindow("ETHERNET", 1);
    }
    void send(const QByteArrayList& frames) {
        for (const QByteArray& f : frames)
            link(1).receive(f);
    }
    // Press, release, then the second press as a double-click and its release.
    void openByDoubleClick() {
        auto* view = find<QTreeView>("lstConnections");
        const QPointF at = QRectF(view->visualRect(model().index(0, 0))).center();
        click(view->viewport(), at);
        mouseButton(view->viewport(), QEvent::MouseButtonPress, at);
        QMouseEvent twice(QEvent::MouseButtonDblClick, at, view->viewport()->mapToGlobal(at),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &twice);
        mouseButton(view->viewport(), QEvent::MouseButtonRelease, at);
    }
    void openByMenu() {
        clickRow(0);
        find<QAction>("mnuLastBatch")->trigger();
    }
    LastBatchWindow* shownWindow() {
        auto* w = window().findChild<LastBatchWindow*>(QStringLiteral("frmLastBatch"));
        return w && w->isVisible() ? w : nullptr;
    }
    QString text(const char* label) {
        return shownWindow()->findChild<QLabel*>(QString::fromLatin1(label))->text();
    }
    bool showsNoBatch() { return shownWindow()->findChild<QLabel*>("lblNoBatch")->isVisible(); }
    QAbstractItemModel& table() { return *shownWindow()->findChild<QTableView*>()->model(); }
};
struct FreshLastBatch final : LastBatch {
    void TestBody() override {}
};

// The table holds the data file's cells exactly, one column per code; the chart one series per
// code with a point per reading; the labels say where the file went, and a click opens its folder.
TEST(LastBatchWindow, ShowsTheFiledBatchAsItsDataFileHoldsIt) {
    for (const QByteArrayList& k : caseTable("program/last-batch.txt")) {
        SCOPED_TRACE(k[0].constData());
        FreshLastBatch t;
        t.settings.dataLayoutColumn = k[5] == "COLUMN";
        for (const QByteArray& f : k[1].split(';'))
            t.link(1).receive(wireFrame(f.left(3).constData(), f.mid(4)));
        k[4] == "menu" ? t.openByMenu() : t.openByDoubleClick();
        ASSERT_NE(t.shownWindow(), nullptr);
        // The table, whatever the layout of the file, holds the cells of the COLUMN known answer:
        // line 1, the codes, one line per reading row.
        const QByteArray answer = "protocol/" + k[0] + "_column.dat";
        const QByteArrayList lines = testData(answer.constData()).trimmed().split('\n');
        const QByteArrayList head = lines[0].split(',');
        for (int f = 0; const char* label : {"lblInstrumentId", "lblBatchCode", "lblFiledAt"})
            EXPECT_EQ(t.text(label), QString::fromLatin1(head[f++]));
        EXPECT_EQ(t.text("lblErrorText"), QString::fromLatin1(k[3]));
        // The headings and the cells, each row joined as the file joins it.
        const QAbstractItemModel& table = t.table();
        QByteArrayList shown, expected;
        for (int r = -1; r < table.rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < table.columnCount(); ++c)
                cells.append(r < 0 ? table.headerData(c, Qt::Horizontal).toString()
                                   : table.index(r, c).data().toString());
            shown.append(cells.join(u',').toLatin1());
        }
        for (const QByteArray& line : lines.mid(1))
            expected.append(line.trimmed());
        EXPECT_EQ(shown, expected);
        const QList<QAbstractSeries*> series =
            t.shownWindow()->findChild<QChartView*>()->chart()->series();
        ASSERT_EQ(series.size(), table.columnCount());
        for (int c = 0; c < table.columnCount(); ++c) {
            QList<qreal> readingNumbers; // from 1, the x of each point
            for (int r = 1; r < expected.size(); ++r)
                if (!expected[r].split(',')[c].isEmpty())
                    readingNumbers.append(r);
            EXPECT_EQ(series[c]->name(), table.headerData(c, Qt::Horizontal).toString());
            QList<qreal> xs;
            for (const QPointF& p : static_cast<QLineSeries*>(series[c])->points())
                xs.append(p.x());
            EXPECT_EQ(xs, readingNumbers) << c;
        }
        t.shownWindow()->findChild<ClickableLabel*>("lblDataFile")->onClick();
        const QByteArray folder = t.dir.sub(k[2].constData());
        EXPECT_EQ(t.desktop.opened, QStringList(QString::fromLatin1(folder.chopped(1))));
    }
}

// Before its first batch the window says so, beside the connection's counters: a late
// fragment's NAK8, a frame the parser fails on with its log line, the frames received. A batch
// under way changes nothing, its end does; the connection's deletion closes the window.
TEST_F(LastBatch, ShowsTheCountersBeforeTheFirstBatchAndFollowsEachBatchFiled) {
    link(1).receive("\0011STB\002X1");
    clock.advanceMs(5000);
    link(1).receive("00,AB"); // past the frame's deadline: NAK8
    link(1).receive("\003\004");
    link(1).receive("\0011DAT\0021,2\004"); // no ETX: the parser fails
    openByDoubleClick();
    ASSERT_NE(shownWindow(), nullptr);
    EXPECT_TRUE(showsNoBatch());
    EXPECT_EQ(text("lblFramesReceived"), QStringLiteral("2"));
    EXPECT_EQ(text("lblNak8Sent"), QStringLiteral("1"));
    EXPECT_EQ(text("lblLastFailure"), QStringLiteral("ParseString, 5, Invalid procedure call or "
                                                     "argument, 5/1/2012 10:15:35 AM"));
    QByteArrayList first = threeRowBatch("1111"), second = threeRowBatch("2222");
    second[3] = wireFrame("DAT", "2,9.5,9.25");
    send(first.mid(0, 5));
    EXPECT_TRUE(showsNoBatch());
    send(first.mid(5));
    EXPECT_FALSE(showsNoBatch());
    clock.advanceMs(1000);
    send(second.mid(0, 5));
    EXPECT_EQ(table().index(1, 0).data().toString(), QStringLiteral("0.805"));
    send(second.mid(5));
    EXPECT_EQ(text("lblInstrumentId"), QStringLiteral("2222"));
    EXPECT_EQ(table().index(1, 0).data().toString(), QStringLiteral("9.5"));
    EXPECT_EQ(text("lblBatchesFiled"), QStringLiteral("2"));
    clickButton("cmdDeleteConnection"); // the row the double-click selected
    answerLogin({QStringLiteral("disc")});
    EXPECT_EQ(shownWindow(), nullptr);
}

// The trouble-shooting window on its own.

struct DebugWindowTest : ::testing::Test {
    AppSettings s;
    FakeClock clock;
    ErrorLog log{s.errorLogFolder, clock};
    bool debugMode = false;
    QByteArrayList exported;
    QPointer<TroubleShootingWindow> w = new TroubleShootingWindow(
        debugMode, log, [this](const QByteArray& text) { exported.append(text); });

    DebugWindowTest() { w->show(); }
    ~DebugWindowTest() override { delete w.data(); }
    QPlainTextEdit* box() const { return w->findChild<QPlainTextEdit*>("txtDebug"); }
    void press(const char* name) const { w->findChild<QPushButton*>(name)->click(); }
    // Exports, and checks the box shows exactly what was exported.
    QByteArray exportedText() {
        press("cmdExport");
        EXPECT_EQ(box()->toPlainText(), debugDisplayText(exported.value(exported.size() - 1)));
        return exported.value(exported.size() - 1);
    }
};

// Received bytes show as lines and export exactly; Clear empties the box; what the user types
// is exported with CR LF line ends, and later traffic as received.
TEST_F(DebugWindowTest, ExportGivesBackTheExactBytesOfTheBox) {
    const QByteArray first = "<RECIVED><SOH>01IST<STX>1,2\x02x<ETX><EOT>\r\n";
    w->appendText(first);
    w->appendText("<SENT><ACK8>\r");
    w->appendText("\n");
    EXPECT_EQ(box()->toPlainText(), "<RECIVED><SOH>01IST<STX>1,2\x02x<ETX><EOT>\n<SENT><ACK8>\n");
    EXPECT_EQ(exportedText(), first + "<SENT><ACK8>\r\n");
    press("cmdClear");
    EXPECT_EQ(exportedText(), QByteArray());
    w->appendText("one\r\n");
    giveFocus(box());
    box()->moveCursor(QTextCursor::End);
    typeText(box(), QStringLiteral("note"));
    typeKey(box(), Qt::Key_Return, QStringLiteral("\r"));
    w->appendText("two\rX\r\n");
    EXPECT_EQ(exportedText(), "one\r\nnote\r\ntwo\rX\r\n");
}

// Exactly 2 MiB is kept whole; beyond it the oldest whole lines go.
TEST_F(DebugWindowTest, TextBeyondTwoMebibytesIsDroppedFromTheTop) {
    const QByteArray full =
        "first\r\n" + QByteArray(TroubleShootingWindow::MaxTextBytes - 9, 'f') + "\r\n";
    w->appendText(full);
    EXPECT_EQ(exportedText(), full);
    press("cmdClear");
    // The cut falls just after a newline that another one follows.
    const QByteArray rest = "\n" + QByteArray(TroubleShootingWindow::KeptAfterTrim - 1, 'b');
    w->appendText(QByteArray(TroubleShootingWindow::MaxTextBytes / 8 + 9, 'a') + "\n" + rest);
    EXPECT_EQ(exportedText(), rest);
}

} // namespace
} // namespace znr::test
