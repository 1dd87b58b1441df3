#include "support/FileBytes.h"
#include "support/GuiActions.h"
#include "support/ProgramRun.h"
#include "support/Pty.h"
#include "support/TempDir.h"
#include "ui/Program.h"
#include "ui/frmSplash.h"
#include "ui/frmWinsock.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <gtest/gtest.h>

namespace znr {
namespace {

using namespace test;

template <class T> T* shown(const char* name = nullptr) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!name && qobject_cast<T*>(w) && w->isVisible())
            return static_cast<T*>(w);
        if (T* found = name ? w->findChild<T*>(QString::fromLatin1(name)) : nullptr)
            return found;
    }
    return nullptr;
}

// The whole program in this process: the main window loads once the settings are read, so its
// headings name the transport of the run, and the instrument opened at start is counted from 0.
TEST(MainWindowLoad, HeadingsNameTheConfiguredTransportAndTheInstrumentOpenedIsCounted) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    Pty pty;
    ASSERT_TRUE(pty.ok());
    for (const bool ethernet : {true, false}) {
        TempDir dir;
        ProgramConfig config;
        config.ethernet = ethernet;
        config.ethernetInstruments = {{"127.0.0.1", server.serverPort()}};
        config.serialInstruments = {ProgramConfig::Serial{"3"}};
        config.serialPorts[3] = pty.slavePath();
        writeBytes(dir.path("ZNRExtractor.ini"), iniText(config, dir.folder()));
        {
            Program program(QFile::decodeName(dir.folder().chopped(1)));
            program.start();
            const QAbstractItemModel* rows = shown<QTreeView>("lstConnections")->model();
            EXPECT_EQ(rows->headerData(1, Qt::Horizontal), ethernet ? "IP Address" : "COMM Port");
            EXPECT_EQ(rows->headerData(2, Qt::Horizontal), ethernet ? "Port Number" : "Settings");
            EXPECT_EQ(rows->rowCount(), 1);
            EXPECT_EQ(shown<QLabel>("lblNumZNR")->text(), QStringLiteral("1"));
            // A key on the splash gives way to the main window at once; the splash then goes.
            shown<frmSplash>()->Form_KeyPress();
            runDeferredDeletes();
            EXPECT_EQ(shown<frmSplash>(), nullptr);
        }
        EXPECT_EQ(shown<QTreeView>("lstConnections"), nullptr);
    }
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
    shown<frmSplash>()->Timer1_Timer();
    auto* newConnection = shown<QPushButton>("cmdNewConnection");
    click(newConnection);
    frmWinsock* first = shown<frmWinsock>();
    ASSERT_NE(first, nullptr);
    first->findChild<QLineEdit*>(QStringLiteral("txtHost"))->setText(QStringLiteral("localhost"));
    first->findChild<QLineEdit*>(QStringLiteral("txtPort"))
        ->setText(QString::number(server.serverPort()));
    click(first->findChild<QPushButton*>(QStringLiteral("cmdOK")));
    click(newConnection); // the host name is still being looked up
    QPointer<frmWinsock> second = shown<frmWinsock>();
    ASSERT_FALSE(second.isNull());
    EXPECT_NE(second.data(), first);
    EXPECT_EQ(second->findChild<QLineEdit*>(QStringLiteral("txtHost"))->text(), QString());
    const QAbstractItemModel* rows = shown<QTreeView>("lstConnections")->model();
    EXPECT_TRUE(QTest::qWaitFor([&] { return rows->rowCount() == 1; }));
    click(second->findChild<QPushButton*>(QStringLiteral("cmdCancel")));
    runDeferredDeletes();
}

} // namespace
} // namespace znr
