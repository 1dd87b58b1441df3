// What the operator sees beside the specified texts: drops, the reconnect interval, the files.

#include "gui/connections/MainWindowFixture.h"
#include "support/ProgramRun.h"
#include "ui/Program.h"
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

struct OperatorSignalsTest : MainWindowFixture {
    bool tinted(int row) {
        const QVariant tint = model().index(row, 0).data(Qt::BackgroundRole);
        return tint.isValid() &&
               tint.value<QBrush>().color() != QGuiApplication::palette().color(QPalette::Base);
    }
    QString tip(int row) { return model().index(row, 4).data(Qt::ToolTipRole).toString(); }
};

TEST_F(OperatorSignalsTest, DroppedRowSaysWhyUntilRestoredWhileAnOperatorsDisconnectStaysPlain) {
    settings.ReconnectSeconds = 10;
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
    openWindow("ETHERNET", 1);
    link(1).drop(10054, "Connection is reset by remote side");
    EXPECT_EQ(tip(0), QString::fromLatin1(now() + ": Connection is reset by remote side (10054)"));
    EXPECT_FALSE(c.retryTimerRunning());
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
    EXPECT_TRUE(c.retryTimerRunning());
    EXPECT_TRUE(tip(0).endsWith(QStringLiteral("\nretrying every 10 s"))) << tip(0).toStdString();
}

// No password: the path goes to the desktop, or a message says that it is missing.
TEST_F(OperatorSignalsTest, FileMenuOpensTheDataFolderAndTheErrorLogWithTheDesktop) {
    openWindow();
    const QString data = settings.DataFolder, gone = dir.path("gone/");
    log.WriteErrorLog("x", 0, "y");
    const std::pair<const char*, QString> cases[] = {
        {"mnuOpenDataFolder", "opened " + data},
        {"mnuOpenErrorLog", "opened " + settings.ErrorLogFolder + "ZNRError.log"},
        {"mnuOpenDataFolder", "Not Found|The data folder does not exist:\n" + gone + "|!"},
    };
    for (const auto& [action, result] : cases) {
        settings.DataFolder = (result.startsWith(u'N') ? gone : data).toLatin1();
        desktop.opened.clear();
        prompts.shown.clear();
        find<QAction>(action)->trigger();
        EXPECT_EQ(loginWindow(), nullptr);
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
