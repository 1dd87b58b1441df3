#include "gui/connections/MainWindowFixture.h"
#include "support/CaseTable.h"
#include "ui/frmSplash.h"

#include <QTimer>
#include <functional>

namespace znr::test {
namespace {

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
