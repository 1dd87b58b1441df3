#include "station/Login.h"

#include "config/AppSettings.h"
#include "core/ErrorLog.h"
#include "station/EventPump.h"
#include "support/FakeClock.h"
#include "support/FakePrompts.h"
#include "support/GuiActions.h"
#include "ui/PasswordGate.h"
#include "ui/frmLogin.h"
#include "ui/frmSplash.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace znr {
namespace {

struct LoginTest : ::testing::Test {
    LoginTest() {
        settings.AdminPassword = "admin";
        settings.DisconnectPassword = "d?s\xE9"; // Latin-1 "d?sé"
    }
    AppSettings settings;
    test::FakeClock clock;
    ErrorLog log{settings.ErrorLogFolder, clock};
    LoginState login;
    test::FakePrompts prompts;
    QtEventPump pump;
    PasswordGate gate{settings, login, prompts, log, pump};

    static frmLogin* openWindow() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* f = qobject_cast<frmLogin*>(w); f && f->isVisible())
                return f;
        return nullptr;
    }

    // Answers the password window that the gate is about to show: each entry is typed and OK
    // pressed; an empty optional presses Cancel.
    void answerWith(std::vector<std::optional<QString>> entries) {
        QTimer::singleShot(0, [entries] {
            frmLogin* w = openWindow();
            ASSERT_NE(w, nullptr);
            for (const auto& entry : entries) {
                if (!w->isVisible())
                    return;
                if (!entry) {
                    w->findChild<QPushButton*>(QStringLiteral("cmdCancel"))->click();
                    return;
                }
                w->findChild<QLineEdit*>(QStringLiteral("txtPassword"))->setText(*entry);
                w->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
            }
        });
    }
};

TEST_F(LoginTest, EachPurposeAcceptsOnlyItsOwnPassword) {
    struct Case {
        const char* purpose;
        const char* entered;
        bool accepted;
    } cases[] = {
        {"DISCONNECT", "d?sé", true}, {"DISCONNECT", "admin", false}, {"MENU", "admin", true},
        {"MENU", "d?sé", false},      {"CLOSE", "admin", true},       {"CLOSE", "Admin", false},
        {"anything", "admin", true},  {"DISCONNECT", "", false},      {"DISCONNECT", "d€sé", false},
    };
    for (const Case& c : cases) {
        login.LoginOK = false;
        prompts.shown.clear();
        answerWith({QString::fromUtf8(c.entered), std::nullopt});
        EXPECT_EQ(gate.ask(c.purpose), c.accepted) << c.purpose << " " << c.entered;
        EXPECT_EQ(prompts.shown.size(), c.accepted ? 0 : 1);
        EXPECT_EQ(openWindow(), nullptr);
    }
}

TEST_F(LoginTest, WrongPasswordKeepsWindowOpenWithTextSelectedAndRetryWorks) {
    QTimer::singleShot(0, [this] {
        frmLogin* w = openWindow();
        ASSERT_NE(w, nullptr);
        auto* text = w->findChild<QLineEdit*>(QStringLiteral("txtPassword"));
        text->setText(QStringLiteral("wrong"));
        w->cmdOK_Click();
        EXPECT_TRUE(w->isVisible());
        EXPECT_FALSE(login.LoginOK);
        EXPECT_EQ(text->selectedText(), QStringLiteral("wrong"));
        EXPECT_EQ(prompts.shown, QStringList{QStringLiteral("Login|Invalid Password, try again!")});
        text->setText(QStringLiteral("admin"));
        w->cmdOK_Click();
    });
    EXPECT_TRUE(gate.ask("CLOSE"));
}

TEST_F(LoginTest, EmptyStoredPasswordIsMatchedByEmptyEntry) {
    settings.DisconnectPassword.clear();
    answerWith({QString()});
    EXPECT_TRUE(gate.ask("DISCONNECT"));
}

TEST_F(LoginTest, CloseBoxLeavesLoginOkAsItWas) {
    QTimer::singleShot(0, [] { openWindow()->close(); });
    EXPECT_FALSE(gate.ask("MENU"));
    EXPECT_EQ(openWindow(), nullptr);
}

TEST_F(LoginTest, TypedCharactersAreShownAsStars) {
    frmLogin w(settings, login, prompts, log);
    auto* text = w.findChild<QLineEdit*>(QStringLiteral("txtPassword"));
    test::typeText(text, QStringLiteral("ab1"));
    EXPECT_EQ(text->text(), QStringLiteral("ab1"));
    EXPECT_EQ(text->displayText(), QStringLiteral("***"));
}

// The splash shares the start-up's settings and log.
using SplashTest = LoginTest;

// A key, or a click (press, then release) on the frame's own area, leaves the splash early and
// makes the folders; a click on a label or the logo, or a press alone, does not.
TEST_F(SplashTest, LeavesEarlyOnAKeyOrAClickOnTheFrameItself) {
    const auto inside = [](frmSplash& s, const char* name) {
        return s.findChild<QWidget*>(QString::fromLatin1(name));
    };
    const QPointF frameEdge(3, 3); // inside the frame, outside every label
    const struct {
        const char* name;
        std::function<void(frmSplash&)> act;
        bool leaves;
    } cases[] = {
        {"label", [&](frmSplash& s) { test::click(inside(s, "lblVersion")); }, false},
        {"logo", [&](frmSplash& s) { test::click(inside(s, "imgLogo")); }, false},
        {"press only",
         [&](frmSplash& s) {
             test::mouseButton(inside(s, "Frame1"), QEvent::MouseButtonPress, frameEdge);
         },
         false},
        {"frame", [&](frmSplash& s) { test::click(inside(s, "Frame1"), frameEdge); }, true},
        {"key", [](frmSplash& s) { test::typeKey(&s, Qt::Key_A, QStringLiteral("a")); }, true},
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
        ASSERT_EQ(inside(*splash, "Frame1")->childAt(frameEdge.toPoint()), nullptr);
        c.act(*splash);
        EXPECT_EQ(mainShown, c.leaves ? 1 : 0);
        EXPECT_EQ(foldersMade, mainShown);
        test::runDeferredDeletes();
        EXPECT_EQ(splash.isNull(), c.leaves);
        delete splash.data();
    }
}

} // namespace
} // namespace znr
