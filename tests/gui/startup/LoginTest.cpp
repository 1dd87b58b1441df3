#include "startup/Login.h"

#include "config/AppSettings.h"
#include "platform/EventPump.h"
#include "records/ErrorLog.h"
#include "startup/PasswordGate.h"
#include "startup/frmLogin.h"
#include "support/FakeClock.h"
#include "support/FakePrompts.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
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
    ErrorLog log{settings, clock};
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

} // namespace
} // namespace znr
