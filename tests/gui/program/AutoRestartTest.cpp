#include "config/AppSettings.h"
#include "core/ErrorLog.h"
#include "gui/settings/RecordingOpener.h"
#include "support/FakeClock.h"
#include "support/FileBytes.h"
#include "support/GuiActions.h"
#include "support/ProgramChecks.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"
#include "ui/frmWinsock.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <gtest/gtest.h>

namespace znr {
namespace {

using namespace test;

// The Ethernet dialog saves an instrument with Auto Restart ticked into the program's real INI;
// the real program started on that INI then opens it, greets it and files its batch.
TEST(AutoRestart, InstrumentSavedByTheEthernetDialogIsOpenedWhenTheProgramStarts) {
    TempDir expect;
    const auto instrument = Sim::instrument(expect.path("saved"), args({"--seed", "21"}));
    ASSERT_TRUE(instrument->ready()) << instrument->diagnostics().constData();
    const QByteArray port = QByteArray::number(instrument->port());
    ProgramRun program;
    program.writeIni(ProgramConfig{});

    AppSettings s;
    s.IniFilePath = QFile::decodeName(program.iniPath());
    s.ErrorLogFolder = program.errorLogFolder();
    FakeClock clock;
    ErrorLog log{s.ErrorLogFolder, clock};
    RecordingOpener opener;
    QPointer<frmWinsock> dialog = new frmWinsock(s, opener, log);
    dialog->show();
    dialog->findChild<QLineEdit*>(QStringLiteral("txtHost"))->setText(QStringLiteral("127.0.0.1"));
    dialog->findChild<QLineEdit*>(QStringLiteral("txtPort"))->setText(QString::fromLatin1(port));
    dialog->findChild<QCheckBox*>(QStringLiteral("chkAutoRestart"))->setChecked(true);
    click(dialog->findChild<QPushButton*>(QStringLiteral("cmdOK")));
    runDeferredDeletes();
    EXPECT_TRUE(dialog.isNull());
    EXPECT_EQ(opener.calls, QByteArrayList{"E|127.0.0.1|" + port});
    const QByteArray ini = readBytes(program.iniPath());
    EXPECT_TRUE(ini.endsWith("\r\n[ZNR-ENT1]\r\nIP=127.0.0.1\r\nPort=" + port + "\r\n"))
        << ini.constData();
    EXPECT_TRUE(ini.contains("[ZNR NUM ETHERNET]\r\nZNRs= 1\r\n")) << ini.constData();
    EXPECT_FALSE(fileExists(program.errorLogFolder() + "ZNRError.log"));

    ASSERT_TRUE(program.start());
    ASSERT_TRUE(instrument->finishes())
        << instrument->diagnostics().constData() << program.output().constData();
    expectDataFilesAsExpected(program.dataFolder(), instrument->expectedFolder(true), 1);
}

} // namespace
} // namespace znr
