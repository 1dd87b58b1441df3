#include "gui/connections/MainWindowFixture.h"

namespace znr::test {
namespace {

using Col = ConnectionList::Column;

struct MainWindowButtonsTest : MainWindowFixture {
    MainWindowButtonsTest() {
        openWindow();
        createHosts(2);
        clock.advanceMs(60'000);
    }
};

enum class Answer { Right, WrongThenCancel, AdminPassword, Cancel };

struct GuardedButton {
    const char* button;
    Answer answer;
};

void PrintTo(const GuardedButton& k, std::ostream* os) {
    static const char* const answers[] = {"Right", "WrongThenCancel", "AdminPassword", "Cancel"};
    *os << k.button << " " << answers[int(k.answer)];
}

struct PasswordGuardTest : MainWindowButtonsTest, ::testing::WithParamInterface<GuardedButton> {};

TEST_P(PasswordGuardTest, EachGuardedButtonActsOnlyAfterTheDisconnectPassword) {
    const GuardedButton& k = GetParam();
    switch (k.answer) {
    case Answer::Right:
        answerLogin({QStringLiteral("disc")});
        break;
    case Answer::WrongThenCancel:
        answerLogin({QStringLiteral("Disc"), std::nullopt});
        break;
    case Answer::AdminPassword:
        answerLogin({QStringLiteral("admin"), std::nullopt});
        break;
    case Answer::Cancel:
        answerLogin({std::nullopt});
        break;
    }
    clickRow(0);
    clickButton(k.button);
    EXPECT_EQ(loginsAnswered, 1);
    EXPECT_EQ(loginWindow(), nullptr);
    EXPECT_EQ(login.LoginPurpose, "DISCONNECT");
    EXPECT_FALSE(login.LoginOK);
    const bool wrong = k.answer == Answer::WrongThenCancel || k.answer == Answer::AdminPassword;
    EXPECT_EQ(prompts.shown, wrong
                                 ? QStringList{QStringLiteral("Login|Invalid Password, try again!")}
                                 : QStringList{});

    const QByteArray button = k.button;
    if (k.answer != Answer::Right) {
        EXPECT_EQ(statuses(), (QStringList{"Connected", "Connected"}));
        EXPECT_EQ(count(), QStringLiteral("2"));
        EXPECT_EQ(socket(1)->closeCalls + socket(2)->closeCalls, 0);
    } else if (button == "cmdDisconnect") {
        EXPECT_EQ(statuses(), (QStringList{"Disconnected", "Connected"}));
        EXPECT_EQ(cell(0, Col::LastUpdatedColumn), now());
        EXPECT_EQ(count(), QStringLiteral("1"));
        EXPECT_FALSE(socket(1)->isOpen());
    } else if (button == "cmdDisconnectAll") {
        EXPECT_EQ(statuses(), (QStringList{"Disconnected", "Disconnected"}));
        EXPECT_EQ(count(), QStringLiteral("0"));
    } else {
        ASSERT_EQ(tree()->topLevelItemCount(), 1);
        EXPECT_EQ(cell(0, Col::EndpointColumn), QStringLiteral("10.0.0.2"));
        EXPECT_EQ(count(), QStringLiteral("1"));
        EXPECT_EQ(c().indexes().next, 1);
    }
    EXPECT_TRUE(logLines().isEmpty());
}

std::vector<GuardedButton> everyButtonAndAnswer() {
    std::vector<GuardedButton> out;
    for (const char* button : {"cmdDisconnect", "cmdDisconnectAll", "cmdDeleteConnection"})
        for (Answer a :
             {Answer::Right, Answer::WrongThenCancel, Answer::AdminPassword, Answer::Cancel})
            out.push_back({button, a});
    return out;
}

std::string caseName(const ::testing::TestParamInfo<GuardedButton>& info) {
    static const char* const answers[] = {"Right", "WrongThenCancel", "AdminPassword", "Cancel"};
    return std::string(info.param.button) + "_" + answers[int(info.param.answer)];
}

INSTANTIATE_TEST_SUITE_P(Buttons, PasswordGuardTest, ::testing::ValuesIn(everyButtonAndAnswer()),
                         caseName);

TEST_F(MainWindowButtonsTest, DisconnectedRowIsReopenedByConnectWithoutAPassword) {
    answerLogin({QStringLiteral("disc")});
    clickRow(1);
    clickButton("cmdDisconnect");
    ASSERT_EQ(statuses(), (QStringList{"Connected", "Disconnected"}));
    ASSERT_EQ(count(), QStringLiteral("1"));

    clock.advanceMs(30'000);
    clickRow(1);
    clickButton("cmdConnect");
    EXPECT_EQ(loginsAnswered, 1);
    EXPECT_EQ(statuses(), (QStringList{"Connected", "Connected"}));
    EXPECT_EQ(cell(1, Col::LastUpdatedColumn), now());
    EXPECT_EQ(count(), QStringLiteral("2"));
    EXPECT_EQ(socket(2)->written, QByteArrayList{Ack8Reply});
}

TEST_F(MainWindowButtonsTest, DeleteRemovesTheRowAndTheNextConnectionTakesItsIndex) {
    QPointer<FakeLink> old = socket(1);
    answerLogin({QStringLiteral("disc")});
    clickRow(0);
    clickButton("cmdDeleteConnection");
    EXPECT_EQ(socket(1), nullptr);
    EXPECT_TRUE(c().hasEntry(1));
    EXPECT_EQ(count(), QStringLiteral("1"));

    c().openEthernet({"10.0.0.9", 10009});
    ASSERT_EQ(tree()->topLevelItemCount(), 2);
    EXPECT_EQ(cell(1, Col::EndpointColumn), QStringLiteral("10.0.0.9"));
    EXPECT_EQ(window().list().indexAt(1), 1);
    EXPECT_EQ(count(), QStringLiteral("2"));
}

TEST_F(MainWindowButtonsTest, SocketErrorMarksTheRowInTheList) {
    socket(2)->drop(10054, "Connection is reset by remote side");
    EXPECT_EQ(statuses(), (QStringList{"Connected", "Disconnected"}));
    EXPECT_EQ(cell(1, Col::LastUpdatedColumn), now());
    EXPECT_EQ(count(), QStringLiteral("1"));
    EXPECT_EQ(logLines(), QByteArrayList{"frmZNRInterface.ZNRSocket_Error, 10054, Connection is "
                                         "reset by remote side, " +
                                         generalDateTime(clock.now())});
}

TEST_F(MainWindowButtonsTest, InstrumentIdArrivesInTheFirstColumnOfItsRow) {
    answerLogin({QStringLiteral("disc")});
    clickRow(0);
    clickButton("cmdDeleteConnection");
    const QByteArray frame =
        QByteArray(1, ctl::SOH) + "1IST" + ctl::STX + "RUN MODE,a,b,4711" + ctl::ETX + ctl::EOT;
    socket(2)->receive(frame);
    ASSERT_EQ(tree()->topLevelItemCount(), 1);
    EXPECT_EQ(cell(0, Col::IdColumn), QStringLiteral("4711"));
    EXPECT_EQ(cell(0, Col::LastUpdatedColumn), now());
}

} // namespace
} // namespace znr::test
