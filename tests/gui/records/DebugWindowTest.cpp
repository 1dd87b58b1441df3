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
    QPointer<frmDebug> w;

    void SetUp() override { open(); }
    void TearDown() override {
        if (w)
            w->close();
        test::runDeferredDeletes();
    }
    void open() {
        w = new frmDebug(debugMode, log, [this](const QByteArray& text) { exported.append(text); });
        w->show();
    }
    QPlainTextEdit* box() const {
        return w->findChild<QPlainTextEdit*>(QStringLiteral("txtDebug"));
    }
    void press(const char* name) const {
        w->findChild<QPushButton*>(QString::fromLatin1(name))->click();
    }
};

TEST_F(DebugWindowTest, DebugModeIsOnWhileTheWindowIsLoaded) {
    EXPECT_TRUE(debugMode);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("ZNR Trouble Shooting"));
    EXPECT_EQ(w->minimumSize(), w->maximumSize());
    press("cmdExit");
    test::runDeferredDeletes();
    EXPECT_TRUE(w.isNull());
    EXPECT_FALSE(debugMode);

    open(); // opened again: empty, on again; closed by the close box
    EXPECT_TRUE(debugMode);
    EXPECT_TRUE(box()->toPlainText().isEmpty());
    w->close();
    test::runDeferredDeletes();
    EXPECT_TRUE(w.isNull());
    EXPECT_FALSE(debugMode);
}

TEST_F(DebugWindowTest, ReceivedLinesShowAsLinesAndExportGivesBackTheExactBytes) {
    const QByteArray first = "<RECIVED><SOH>01IST<STX>1,2\x02x<ETX><EOT>\r\n";
    const QByteArray second = "<SENT><ACK8>\r\n";
    w->appendText(first);
    w->appendText(second);
    EXPECT_EQ(box()->toPlainText(),
              QStringLiteral("<RECIVED><SOH>01IST<STX>1,2\x02x<ETX><EOT>\n<SENT><ACK8>\n"));
    press("cmdExport");
    w->appendText("<SENT><NAK8>\r");
    w->appendText("\n");
    press("cmdExport"); // the box keeps its text: the second export holds the first one's text
    ASSERT_EQ(exported.size(), 2);
    EXPECT_EQ(exported[0], first + second);
    EXPECT_EQ(exported[1], first + second + "<SENT><NAK8>\r\n");
    EXPECT_EQ(box()->toPlainText(), debugDisplayText(exported[1]));
}

TEST_F(DebugWindowTest, ClearEmptiesTheBoxAndAnEmptyBoxStillExports) {
    w->appendText("<SENT><ACK8>\r\n");
    press("cmdClear");
    EXPECT_TRUE(box()->toPlainText().isEmpty());
    press("cmdExport");
    EXPECT_EQ(exported, QByteArrayList{QByteArray()});
    w->appendText("x\r\n");
    press("cmdExport");
    EXPECT_EQ(exported.last(), "x\r\n");
}

TEST_F(DebugWindowTest, WhatTheUserTypesIsExportedWithCrLfLineEnds) {
    w->appendText("one\r\n");
    test::giveFocus(box());
    box()->moveCursor(QTextCursor::End);
    test::typeText(box(), QStringLiteral("note"));
    test::typeKey(box(), Qt::Key_Return, QStringLiteral("\r"));
    w->appendText("two\rX\r\n"); // received after the edit: kept as received
    press("cmdExport");
    EXPECT_EQ(exported, QByteArrayList{"one\r\nnote\r\ntwo\rX\r\n"});
}

TEST_F(DebugWindowTest, TextBeyondTwoMebibytesIsDroppedFromTheTopAtLineBoundaries) {
    QByteArray line = "<RECIVED>" + QByteArray(90, 'x') + "\r\n"; // 101 bytes
    const int lines = 3 * 1024 * 1024 / line.size();
    for (int i = 0; i < lines; ++i)
        w->appendText(QByteArray::number(i).rightJustified(7, '0') + line);
    press("cmdExport");
    ASSERT_EQ(exported.size(), 1);
    const QByteArray& kept = exported[0];
    EXPECT_LE(kept.size(), frmDebug::MaxTextBytes);
    EXPECT_GT(kept.size(), frmDebug::MaxTextBytes / 2);
    EXPECT_EQ(kept.size() % (7 + line.size()), 0); // whole lines only
    EXPECT_TRUE(kept.endsWith(QByteArray::number(lines - 1).rightJustified(7, '0') + line));
    EXPECT_EQ(box()->toPlainText(), debugDisplayText(kept));
}

TEST_F(DebugWindowTest, OneHugeLineIsCutInsideTheLine) {
    const QByteArray huge(frmDebug::MaxTextBytes + 10, 'y');
    w->appendText("head\r\n");
    w->appendText(huge);
    w->appendText("z");
    press("cmdExport");
    EXPECT_LE(exported[0].size(), frmDebug::MaxTextBytes);
    EXPECT_TRUE(exported[0].endsWith("yyyz"));
    EXPECT_FALSE(exported[0].contains("head"));
    EXPECT_EQ(box()->toPlainText(), debugDisplayText(exported[0]));
}

} // namespace
} // namespace znr
