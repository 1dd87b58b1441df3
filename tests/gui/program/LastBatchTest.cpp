#include "gui/connections/MainWindowFixture.h"
#include "support/CaseTable.h"
#include "support/Frames.h"
#include "ui/ClickableLabel.h"
#include "ui/frmLastBatch.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QTableView>

namespace znr::test {
namespace {

// The main window with instrument 1 connected.
struct LastBatch : MainWindowFixture {
    LastBatch() {
        settings.CalCheckFolder = dir.sub("Cal Check");
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
    frmLastBatch* shownWindow() {
        auto* w = window().findChild<frmLastBatch*>(QStringLiteral("frmLastBatch"));
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
        t.settings.DataLayoutColumn = k[5] == "COLUMN";
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
            int readings = 0;
            for (const QByteArray& row : expected.mid(1))
                readings += !row.split(',')[c].isEmpty();
            EXPECT_EQ(series[c]->name(), table.headerData(c, Qt::Horizontal).toString());
            EXPECT_EQ(static_cast<QLineSeries*>(series[c])->count(), readings) << c;
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
    EXPECT_EQ(text("lblInstrumentId"), QStringLiteral("1111"));
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

} // namespace
} // namespace znr::test
