#include "gui/connections/MainWindowFixture.h"
#include "support/CaseTable.h"
#include "ui/frmSplash.h"

#include <QAction>
#include <QTimer>
#include <functional>

namespace znr::test {
namespace {

using MainWindowTest = MainWindowFixture;
using Col = ConnectionList::Column;
using Entries = std::vector<std::optional<QString>>;

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
    Entries answers;
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
    EXPECT_EQ(login.LoginPurpose, menu ? "MENU" : closing ? "CLOSE" : "DISCONNECT");
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
    EXPECT_EQ(count(), QStringLiteral("3"));

    clock.advanceMs(5'000);
    link(3).receive(wireFrame("IST", "RUN MODE,a,b,4711"));
    link(2).drop(10054, "Connection is reset by remote side");
    EXPECT_EQ(shownColumn(Col::IdColumn), (QStringList{"N/A", "4711", "N/A"}));
    EXPECT_EQ(statuses(), (QStringList{"Disconnected", "Connected", "Connected"}));
    EXPECT_EQ(shownColumn(Col::LastUpdatedColumn).mid(0, 2),
              QStringList(2, QString::fromLatin1(now())));
    EXPECT_EQ(count(), QStringLiteral("2"));
    clickRow(0);
    clickButton("cmdConnect");
    EXPECT_EQ(loginWindow(), nullptr);
    EXPECT_EQ(statuses(), (QStringList{"Connected", "Connected", "Connected"}));
}

// The password window on its own, over the main window fixture's settings and log.
struct LoginTest : MainWindowFixture {
    QList<bool> answers; // one per closed window

    void ask(const QByteArray& purpose) {
        gate.ask(purpose, [this](bool allowed) { answers.append(allowed); });
        ASSERT_NE(loginWindow(), nullptr);
        EXPECT_EQ(login.LoginPurpose, purpose);
    }
};

// Each purpose is checked exactly against its own password; a wrong one keeps the window open.
TEST_F(LoginTest, EachPurposeAcceptsOnlyItsOwnPassword) {
    for (const QByteArrayList& k : caseTable("settings/login-passwords.txt")) {
        SCOPED_TRACE(k.join('|').constData());
        settings.DisconnectPassword = k[3];
        prompts.shown.clear();
        answers.clear();
        ask(k[0]);
        answerLogin({QString::fromUtf8(k[1]), std::nullopt});
        EXPECT_EQ(answers, QList<bool>{k[2] == "1"});
        EXPECT_EQ(prompts.shown.size(), k[2] == "1" ? 0 : 1);
        EXPECT_EQ(loginWindow(), nullptr);
    }
}

// A key, or a click (press, then release) on the frame's own area, leaves the splash early and
// makes the folders; a press and its release apart, over a label, do not. The timer
// started on showing leaves it without making the folders.
TEST_F(LoginTest, SplashLeavesEarlyOnAKeyOrAClickOnTheFrameItself) {
    const auto inside = [](frmSplash& s, const char* name) {
        return s.findChild<QWidget*>(QString::fromLatin1(name));
    };
    const QPointF frameEdge(3, 3); // inside the frame, outside every label
    const struct {
        const char* name;
        std::function<void(frmSplash&)> act;
        bool leaves;
        bool makesFolders;
    } cases[] = {
        {"press, release on a label, release",
         [&](frmSplash& s) {
             QWidget* frame = inside(s, "Frame1");
             mouseButton(frame, QEvent::MouseButtonPress, frameEdge);
             mouseButton(frame, QEvent::MouseButtonRelease,
                         QRectF(inside(s, "lblVersion")->geometry()).center());
             mouseButton(frame, QEvent::MouseButtonRelease, frameEdge);
         },
         false, false},
        {"frame", [&](frmSplash& s) { click(inside(s, "Frame1"), frameEdge); }, true, true},
        {"key", [](frmSplash& s) { typeKey(&s, Qt::Key_A, QStringLiteral("a")); }, true, true},
        {"timer", [](frmSplash& s) { s.Timer1_Timer(); }, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int foldersMade = 0;
        int mainShown = 0;
        QPointer<frmSplash> splash =
            new frmSplash(settings, log, {{}, [&] { ++foldersMade; }, [&] { ++mainShown; }});
        splash->Form_Load();
        splash->show();
        QApplication::processEvents();
        EXPECT_EQ(QApplication::focusWidget(), splash.data());
        const auto* timer = splash->findChild<QTimer*>(QStringLiteral("Timer1"));
        c.act(*splash);
        if (c.leaves)
            splash->Form_KeyPress(); // a second way out does nothing
        EXPECT_EQ(mainShown, c.leaves ? 1 : 0);
        EXPECT_EQ(foldersMade, c.makesFolders ? 1 : 0);
        EXPECT_EQ(timer->isActive(), !c.leaves);
        runDeferredDeletes();
        EXPECT_EQ(splash.isNull(), c.leaves);
        delete splash.data();
    }
}

} // namespace
} // namespace znr::test
