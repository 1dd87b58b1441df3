#include "support/FileBytes.h"
#include "support/GuiActions.h"
#include "support/ProgramRun.h"
#include "support/Pty.h"
#include "support/TempDir.h"
#include "ui/Program.h"
#include "ui/frmSplash.h"
#include "ui/frmWinsock.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace znr {
namespace {

using namespace test;

template <class T> T* inTopLevelWindows(const char* name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (T* found = w->findChild<T*>(QString::fromLatin1(name)))
            return found;
    return nullptr;
}

frmSplash* splashWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* splash = qobject_cast<frmSplash*>(w))
            return splash;
    return nullptr;
}

// The whole program in this process: the main window loads once the settings are read, so its
// headings name the transport of the run, and the instrument opened at start is counted from 0.
TEST(MainWindowLoad, HeadingsNameTheConfiguredTransportAndTheInstrumentOpenedIsCounted) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    Pty pty;
    ASSERT_TRUE(pty.ok());
    const struct {
        bool ethernet;
        const char* endpoint;
        const char* parameter;
    } cases[] = {{true, "IP Address", "Port Number"}, {false, "COMM Port", "Settings"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.endpoint);
        TempDir dir;
        ProgramConfig config;
        config.ethernet = c.ethernet;
        if (c.ethernet) {
            config.ethernetInstruments = {{"127.0.0.1", server.serverPort()}};
        } else {
            config.serialInstruments = {ProgramConfig::Serial{"3"}};
            config.serialPorts[3] = pty.slavePath();
        }
        writeBytes(dir.path("ZNRExtractor.ini"), iniText(config, dir.folder()));
        {
            Program program(QFile::decodeName(dir.folder().chopped(1)));
            program.start();
            const QTreeWidget* list = inTopLevelWindows<QTreeWidget>("lstConnections");
            ASSERT_NE(list, nullptr);
            EXPECT_EQ(list->headerItem()->text(1).toStdString(), c.endpoint);
            EXPECT_EQ(list->headerItem()->text(2).toStdString(), c.parameter);
            EXPECT_EQ(list->topLevelItemCount(), 1);
            EXPECT_EQ(inTopLevelWindows<QLabel>("lblNumZNR")->text().toStdString(), "1");
            // A key on the splash gives way to the main window at once; the splash then goes.
            ASSERT_NE(splashWindow(), nullptr);
            splashWindow()->Form_KeyPress();
            runDeferredDeletes();
            EXPECT_EQ(splashWindow(), nullptr);
        }
        EXPECT_EQ(inTopLevelWindows<QTreeWidget>("lstConnections"), nullptr);
    }
}

frmWinsock* shownEthernetDialog() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<frmWinsock*>(w); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

// The Ethernet dialog's OK closes it and leaves the connection opening; New Connection pressed
// meanwhile opens a fresh dialog, not the finished one.
TEST(MainWindowLoad, NewConnectionWhileTheDialogsLineOpensOpensAFreshDialog) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::Any, 0));
    TempDir dir;
    writeBytes(dir.path("ZNRExtractor.ini"), iniText(ProgramConfig{}, dir.folder()));
    Program program(QFile::decodeName(dir.folder().chopped(1)));
    program.start();
    splashWindow()->Timer1_Timer();
    auto* newConnection = inTopLevelWindows<QPushButton>("cmdNewConnection");
    click(newConnection);
    frmWinsock* first = shownEthernetDialog();
    ASSERT_NE(first, nullptr);
    first->findChild<QLineEdit*>(QStringLiteral("txtHost"))->setText(QStringLiteral("localhost"));
    first->findChild<QLineEdit*>(QStringLiteral("txtPort"))
        ->setText(QString::number(server.serverPort()));
    click(first->findChild<QPushButton*>(QStringLiteral("cmdOK")));
    click(newConnection); // the host name is still being looked up
    QPointer<frmWinsock> second = shownEthernetDialog();
    ASSERT_FALSE(second.isNull());
    EXPECT_NE(second.data(), first);
    EXPECT_EQ(second->findChild<QLineEdit*>(QStringLiteral("txtHost"))->text(), QString());
    auto* rows = inTopLevelWindows<QTreeWidget>("lstConnections");
    EXPECT_TRUE(QTest::qWaitFor([&] { return rows->topLevelItemCount() == 1; }));
    click(second->findChild<QPushButton*>(QStringLiteral("cmdCancel")));
    runDeferredDeletes();
}

} // namespace
} // namespace znr
