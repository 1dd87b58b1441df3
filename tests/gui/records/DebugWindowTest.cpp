#include "config/AppSettings.h"
#include "core/ErrorLog.h"
#include "protocol/DebugText.h"
#include "support/FakeClock.h"
#include "support/GuiActions.h"
#include "ui/frmDebug.h"

#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <gtest/gtest.h>

namespace znr {
namespace {

struct DebugWindowTest : ::testing::Test {
    AppSettings s;
    test::FakeClock clock;
    ErrorLog log{s.ErrorLogFolder, clock};
    bool debugMode = false;
    QByteArrayList exported;
    QPointer<frmDebug> w =
        new frmDebug(debugMode, log, [this](const QByteArray& text) { exported.append(text); });

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

// Debug mode is on while the window is open; a closed window leaves it alone.
TEST_F(DebugWindowTest, DebugModeIsOnWhileTheWindowIsOpen) {
    EXPECT_TRUE(debugMode);
    press("cmdExit");
    EXPECT_FALSE(debugMode);
    debugMode = true; // turned on again before the closed window is deleted
    test::runDeferredDeletes();
    EXPECT_TRUE(w.isNull());
    EXPECT_TRUE(debugMode);
}

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
    test::giveFocus(box());
    box()->moveCursor(QTextCursor::End);
    test::typeText(box(), QStringLiteral("note"));
    test::typeKey(box(), Qt::Key_Return, QStringLiteral("\r"));
    w->appendText("two\rX\r\n");
    EXPECT_EQ(exportedText(), "one\r\nnote\r\ntwo\rX\r\n");
}

// Up to 2 MiB is kept whole; beyond it the oldest text goes.
TEST_F(DebugWindowTest, TextBeyondTwoMebibytesIsDroppedFromTheTop) {
    const QByteArray full = "first\r\n" + QByteArray(frmDebug::MaxTextBytes - 9, 'f') + "\r\n";
    w->appendText(full);
    EXPECT_EQ(exportedText(), full);
    press("cmdClear");
    w->appendText(QByteArray(frmDebug::MaxTextBytes + 10, 'y') + "z");
    const QByteArray cut = exportedText();
    EXPECT_LE(cut.size(), frmDebug::MaxTextBytes);
    EXPECT_TRUE(cut.startsWith("yyy") && cut.endsWith("yyyz"));
}

} // namespace
} // namespace znr
