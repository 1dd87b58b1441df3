#include "gui/connections/MainWindowFixture.h"
#include "support/CaseTable.h"

#include <QAction>

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

} // namespace
} // namespace znr::test
