// What the operator sees beside the specified texts: drops, the reconnect interval, the files.

#include "gui/connections/MainWindowFixture.h"
#include "support/ProgramRun.h"
#include "ui/DesktopServices.h"
#include "ui/Program.h"
#include "ui/WindowPlacement.h"
#include "ui/frmDebug.h"
#include "ui/frmReconnect.h"
#include "ui/frmSettings.h"
#include "ui/frmSplash.h"

#include <QAction>
#include <QBrush>
#include <QComboBox>
#include <QScreen>
#include <QStatusBar>

namespace znr::test {
namespace {

struct RecordingDesktop final : DesktopServices {
    QStringList opened;
    bool openPath(const QString& path) override {
        opened.append(path);
        return true;
    }
};

struct OperatorSignals : MainWindowFixture {
    RecordingDesktop desktop;
    void TestBody() override {}
    void show(int hosts) {
        openWindow("ETHERNET", hosts);
        window().useSeams(prompts, desktop);
    }
    bool tinted(int row) {
        const QVariant tint = model().index(row, 0).data(Qt::BackgroundRole);
        return tint.isValid() &&
               tint.value<QBrush>().color() != QGuiApplication::palette().color(QPalette::Base);
    }
    QString tip(int row) { return model().index(row, 4).data(Qt::ToolTipRole).toString(); }
    QString now() { return QString::fromLatin1(ConnectionsFixture::now()); }
    void disconnectRow(int row) {
        clickRow(row);
        clickButton("cmdDisconnect");
        answerLogin({QStringLiteral("disc")});
    }
};
using OperatorSignalsTest = OperatorSignals;

TEST_F(OperatorSignalsTest, DroppedRowSaysWhyUntilRestoredWhileAnOperatorsDisconnectStaysPlain) {
    for (const qint16 seconds : {0, 10}) {
        OperatorSignals t;
        t.settings.ReconnectSeconds = seconds;
        t.show(2);
        int tintsAnnounced = 0;
        QObject::connect(&t.model(), &QAbstractItemModel::dataChanged, &t.model(),
                         [&](auto&, auto&, const QList<int>& roles) {
                             tintsAnnounced += roles.contains(Qt::BackgroundRole);
                         });
        t.clock.advanceMs(60'000);
        t.links.opening = FakeLink::Opening::Later;
        t.link(1).drop(10054, "Connection is reset by remote side");
        EXPECT_EQ(t.statuses(), (QStringList{"Disconnected", "Connected"}));
        EXPECT_TRUE(t.tinted(0));
        EXPECT_EQ(tintsAnnounced, 1);
        EXPECT_EQ(t.tip(0), t.now() + ": Connection is reset by remote side (10054)" +
                                (seconds ? "\nretrying every 10 s" : ""));
        t.disconnectRow(1);
        EXPECT_FALSE(t.tinted(1));
        if (seconds) { // the retry gets through: plain again
            t.c.retryDropped();
            t.link(1).succeed();
            EXPECT_EQ(t.statuses(), (QStringList{"Connected", "Disconnected"}));
        } else { // Connect on the plain row runs past its deadline: that row says so
            t.c.deadlineMs = 0;
            t.clickButton("cmdConnect");
            t.runEvents();
            EXPECT_TRUE(t.tinted(1));
            EXPECT_EQ(t.tip(1), t.now() + ": Winsock Error IP Address Unavailable");
            t.disconnectRow(0); // the operator's choice makes the dropped row plain
        }
        EXPECT_FALSE(t.tinted(0));
    }
}

template <class T> T* visible() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && qobject_cast<T*>(w))
            return static_cast<T*>(w);
    return nullptr;
}

// Refused texts leave the dialog open with a message; a valid one is written in place and
// retries a connection that dropped while the reconnect was off.
TEST_F(OperatorSignalsTest, ReconnectMenuWritesTheKeyAndTakesEffectAtOnce) {
    settings.IniFilePath = QFile::decodeName(dir.path("ZNRExtractor.ini"));
    const QByteArray before = "[DEFAULT]\r\nMODE=ETHERNET\r\n[RECONNECT]\r\nSECONDS=0\r\n;x\r\n";
    writeBytes(dir.path("ZNRExtractor.ini"), before);
    show(1);
    link(1).drop(10054, "Connection is reset by remote side");
    find<QAction>("mnuReconnect")->trigger();
    EXPECT_EQ(login.LoginPurpose, "MENU");
    EXPECT_EQ(visible<frmReconnect>(), nullptr);
    answerLogin({QStringLiteral("admin")});
    frmReconnect* dialog = visible<frmReconnect>();
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
    EXPECT_EQ(visible<frmReconnect>(), nullptr);
    EXPECT_EQ(settings.ReconnectSeconds, 10);
    EXPECT_TRUE(c.retryTimerRunning());
    EXPECT_TRUE(tip(0).endsWith(QStringLiteral("\nretrying every 10 s"))) << tip(0).toStdString();
}

// No password: the path goes to the desktop, or a message says that it is missing.
TEST_F(OperatorSignalsTest, FileMenuOpensTheDataFolderAndTheErrorLogWithTheDesktop) {
    show(0);
    const QString data = settings.DataFolder, gone = dir.path("gone/"),
                  logPath = settings.ErrorLogFolder + "ZNRError.log";
    const struct {
        const char* action;
        QString dataFolder;
        bool logWritten;
        QString result;
    } cases[] = {
        {"mnuOpenErrorLog", data, false,
         "Not Found|The error log does not exist:\n" + logPath + "|!"},
        {"mnuOpenDataFolder", data, false, "opened " + data},
        {"mnuOpenDataFolder", gone, false,
         "Not Found|The data folder does not exist:\n" + gone + "|!"},
        {"mnuOpenErrorLog", gone, true, "opened " + logPath},
    };
    for (const auto& k : cases) {
        settings.DataFolder = k.dataFolder.toLatin1();
        if (k.logWritten)
            log.WriteErrorLog("x", 0, "y");
        desktop.opened.clear();
        prompts.shown.clear();
        find<QAction>(k.action)->trigger();
        EXPECT_EQ(loginWindow(), nullptr);
        QStringList result = prompts.shown;
        for (const QString& path : desktop.opened)
            result.append("opened " + path);
        EXPECT_EQ(result, QStringList{k.result}) << result.join(' ').toStdString();
    }
}

// A new window goes right of the main window, else below, left or above it, else beside it once
// the main window has moved over, else in the corner that covers least of it.
TEST(OperatorSignalsPlacement, NewWindowGoesBesideTheMainWindow) {
    const struct {
        QRect main;
        QPoint placed, mainMovedTo;
    } cases[] = {{{0, 0, 600, 400}, {604, 0}, {0, 0}},
                 {{500, 0, 600, 400}, {500, 404}, {500, 0}},
                 {{660, 600, 600, 400}, {16, 600}, {660, 600}},
                 {{300, 600, 980, 400}, {300, 176}, {300, 600}},
                 {{300, 300, 600, 400}, {640, 300}, {36, 300}},
                 {{260, 290, 760, 445}, {260, 604}, {260, 155}},
                 {{640, 0, 640, 1024}, {0, 604}, {640, 0}}};
    for (const auto& k : cases) {
        const Placement p = besidePlacement(k.main, {640, 420}, {0, 0, 1280, 1024});
        EXPECT_EQ(p.window, k.placed) << k.main.x();
        EXPECT_EQ(p.anchor, k.mainMovedTo) << k.main.x();
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
    visible<frmSplash>()->Form_KeyPress();
    frmZNRInterface* main = visible<frmZNRInterface>();
    EXPECT_EQ(main->findChild<QStatusBar*>(), nullptr);
    main->resize(main->minimumSizeHint());
    main->findChild<QAction*>(QStringLiteral("mnuConfigure"))->trigger();
    answerLogin({QStringLiteral("admin")});
    frmSettings* settings = visible<frmSettings>();
    ASSERT_NE(settings, nullptr);
    settings->findChild<QComboBox*>(QStringLiteral("cboDebugMode"))->setCurrentText("YES");
    settings->close();
    const frmDebug* debug = visible<frmDebug>();
    ASSERT_NE(debug, nullptr);
    EXPECT_FALSE(debug->frameGeometry().intersects(main->frameGeometry()));
    EXPECT_TRUE(main->screen()->availableGeometry().contains(debug->frameGeometry()));
}

} // namespace
} // namespace znr::test
