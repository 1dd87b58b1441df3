#include "gui/connections/MainWindowFixture.h"
#include "support/Frames.h"
#include "ui/ClickableLabel.h"
#include "ui/DesktopServices.h"
#include "ui/frmLastBatch.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QTableView>

namespace znr::test {
namespace {

// The main window with instrument 1 connected; what the desktop is asked to open is recorded.
struct LastBatch : MainWindowFixture, DesktopServices {
    QStringList foldersOpened;
    bool openPath(const QString& path) override {
        foldersOpened.append(path);
        return true;
    }

    LastBatch() {
        settings.CalCheckFolder = dir.sub("Cal Check");
        openWindow("ETHERNET", 1);
        window().useSeams(prompts, *this);
    }
    void send(const QByteArrayList& frames) {
        for (const QByteArray& f : frames)
            link(1).receive(f);
    }
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
    QList<QAbstractSeries*> series() {
        return shownWindow()->findChild<QChartView*>()->chart()->series();
    }
};
struct FreshLastBatch final : LastBatch {
    void TestBody() override {}
};

// Frames from "TYP payload|TYP payload|...".
QByteArrayList frames(const QByteArray& messages) {
    QByteArrayList out;
    for (const QByteArray& m : messages.split('|'))
        out.append(wireFrame(m.left(3).constData(), m.mid(4)));
    return out;
}

struct BatchCase {
    const char* knownAnswer; // tests/data/protocol/<knownAnswer>_column.dat and _row.dat
    QByteArrayList frames;
    const char* folder;
    QString errorText;
    bool byMenu;
    bool columnLayout = true;
};

// The table holds the data file's cells exactly, one column per code; the chart one series per
// code with a point per reading; the labels say where the file went, and a click opens its folder.
TEST(LastBatchWindow, ShowsTheFiledBatchAsItsDataFileHoldsIt) {
    const QByteArrayList calCheck = frames("IST CAL. CHECK,a,b,5678|STB X300,A1|DAT 1,1.5|DAT "
                                           "2,1.25|DAT 3,1.125|STB X300,B1|DAT 1,2|DAT 2,2.5|STB "
                                           "X300,C1|ENB ");
    const BatchCase cases[] = {
        {"run_mode", threeRowBatch("1234567"), "Data Files", {}, false},
        {"run_mode", threeRowBatch("1234567"), "Data Files", {}, true, false},
        {"cal_check", calCheck, "Cal Check", {}, true},
        {"cal_check", calCheck, "Cal Check", {}, false, false},
        {"err_ended", frames("IST RUN MODE,a,b,1234|STB X100,W1|DAT 1,3.5|DAT 2,4|ERR A2CD,E17"),
         "Data Files", QStringLiteral("1,E17"), false},
    };
    for (const BatchCase& k : cases) {
        SCOPED_TRACE(k.knownAnswer);
        FreshLastBatch t;
        t.settings.DataLayoutColumn = k.columnLayout;
        t.send(k.frames);
        k.byMenu ? t.openByMenu() : t.openByDoubleClick();
        ASSERT_NE(t.shownWindow(), nullptr);
        // The file written is the known answer of its layout; the table, whatever the layout,
        // holds the cells of the COLUMN one: line 1, the codes, one line per reading row.
        const auto answer = [&](const char* layout) {
            return testData((QByteArray("protocol/") + k.knownAnswer + layout).constData());
        };
        const QByteArray path = t.dir.sub(k.folder);
        EXPECT_EQ(readBytes(path + t.text("lblInstrumentId").toLatin1() + " 05-01-2012-101530.dat"),
                  answer(k.columnLayout ? "_column.dat" : "_row.dat"));
        const QList<QByteArray> lines = answer("_column.dat").trimmed().split('\n');
        const QByteArrayList head = lines[0].split(','), codes = lines[1].trimmed().split(',');
        for (int f = 0; const char* label : {"lblInstrumentId", "lblBatchCode", "lblFiledAt"})
            EXPECT_EQ(t.text(label), QString::fromLatin1(head[f++]));
        EXPECT_EQ(t.text("lblErrorText"), k.errorText);
        QAbstractItemModel& table = t.table();
        ASSERT_EQ(table.columnCount(), codes.size());
        ASSERT_EQ(table.rowCount(), lines.size() - 2);
        QList<int> readings(codes.size());
        for (int r = 0; r < table.rowCount(); ++r) {
            const QByteArrayList cells = lines[r + 2].trimmed().split(',');
            for (int c = 0; c < codes.size(); ++c) {
                EXPECT_EQ(table.index(r, c).data().toString(), QString::fromLatin1(cells[c]))
                    << "row " << r << " code " << c;
                readings[c] += !cells[c].isEmpty();
            }
        }
        const QList<QAbstractSeries*> series = t.series();
        ASSERT_EQ(series.size(), codes.size());
        for (int c = 0; c < codes.size(); ++c) {
            EXPECT_EQ(table.headerData(c, Qt::Horizontal).toString(),
                      QString::fromLatin1(codes[c]));
            EXPECT_EQ(series[c]->name(), QString::fromLatin1(codes[c]));
            EXPECT_EQ(static_cast<QLineSeries*>(series[c])->count(), readings[c]);
        }
        t.shownWindow()->findChild<ClickableLabel*>("lblDataFile")->onClick();
        EXPECT_EQ(t.foldersOpened, QStringList(QString::fromLatin1(path.chopped(1))));
    }
}

// Before its first batch the window says so; a batch under way changes nothing, its end does;
// the connection's deletion closes it.
TEST_F(LastBatch, ShowsNothingBeforeTheFirstBatchAndFollowsEachBatchFiled) {
    openByDoubleClick();
    ASSERT_NE(shownWindow(), nullptr);
    EXPECT_TRUE(showsNoBatch());
    const QByteArray folder = settings.DataFolder;
    settings.DataFolder = folder + "missing/";
    send(threeRowBatch("0000")); // its data file cannot be written: it is not filed
    settings.DataFolder = folder;
    EXPECT_TRUE(showsNoBatch());
    QByteArrayList first = threeRowBatch("1111"), second = threeRowBatch("2222");
    second[3] = wireFrame("DAT", "2,9.5,9.25");
    send(first.mid(0, 5));
    EXPECT_TRUE(showsNoBatch());
    send(first.mid(5));
    EXPECT_FALSE(showsNoBatch());
    EXPECT_EQ(text("lblInstrumentId"), QStringLiteral("1111"));
    clock.advanceMs(1000);
    send(second.mid(0, 5));
    EXPECT_EQ(text("lblInstrumentId"), QStringLiteral("1111"));
    EXPECT_EQ(table().index(1, 0).data().toString(), QStringLiteral("0.805"));
    send(second.mid(5));
    EXPECT_EQ(text("lblInstrumentId"), QStringLiteral("2222"));
    EXPECT_EQ(table().index(1, 0).data().toString(), QStringLiteral("9.5"));
    EXPECT_EQ(text("lblBatchesFiled"), QStringLiteral("2"));
    clickButton("cmdDeleteConnection"); // the row the double-click selected
    answerLogin({QStringLiteral("disc")});
    EXPECT_EQ(shownWindow(), nullptr);
}

// A late fragment's NAK8, a frame the parser fails on and the frames received show up beside
// the connection, with the log line of its failure.
TEST_F(LastBatch, CountsFramesNak8AndTheLastFailureOfItsConnection) {
    link(1).receive("\0011STB\002X1");
    clock.advanceMs(5000);
    link(1).receive("00,AB"); // past the frame's deadline: NAK8
    link(1).receive("\003\004");
    link(1).receive("\0011DAT\0021,2\004"); // no ETX: the parser fails
    openByMenu();
    ASSERT_NE(shownWindow(), nullptr);
    EXPECT_EQ(text("lblFramesReceived"), QStringLiteral("2"));
    EXPECT_EQ(text("lblNak8Sent"), QStringLiteral("1"));
    EXPECT_EQ(text("lblBatchesFiled"), QStringLiteral("0"));
    EXPECT_EQ(text("lblLastFailure"), QStringLiteral("ParseString, 5, Invalid procedure call or "
                                                     "argument, 5/1/2012 10:15:35 AM"));
    EXPECT_EQ(text("lblConnection"), QStringLiteral("IP Address 10.0.0.1, Port Number 10001"));
    EXPECT_TRUE(showsNoBatch());
}

// A long series is thinned for display; its lowest and highest readings stay.
TEST_F(LastBatch, ThinsALongSeriesKeepingItsExtremes) {
    QByteArrayList batch = threeRowBatch("1234").mid(0, 2);
    for (int r = 1; r <= 3000; ++r) { // the highest reading in row 1114, the lowest in row 2224
        const int value = r == 1114 ? 99 : r == 2224 ? -99 : r % 50;
        batch.append(wireFrame("DAT", "0," + QByteArray::number(value)));
    }
    send(batch << wireFrame("ENB", "0"));
    openByMenu();
    const QList<QPointF> points = static_cast<QLineSeries*>(series()[0])->points();
    EXPECT_TRUE(points.size() <= 1000 && points.contains(QPointF(1114, 99)) &&
                points.contains(QPointF(2224, -99)))
        << points.size();
}

} // namespace
} // namespace znr::test
