#include "gui/connections/MainWindowFixture.h"

#include <QAction>

namespace znr::test {
namespace {

using MainWindowTest = MainWindowFixture;
using Col = ConnectionList::Column;
using Entries = std::vector<std::optional<QString>>;

// Exactly "SERIAL" gives the serial headings; any other text the Ethernet ones.
TEST_F(MainWindowTest, HeadingsFollowTheTransportOfTheRun) {
    const std::pair<const char*, QStringList> cases[] = {
        {"SERIAL", {"ZNR ID", "COMM Port", "Settings", "Status", "Last Updated"}},
        {"ETHERNET", {"ZNR ID", "IP Address", "Port Number", "Status", "Last Updated"}},
        {"serial", {"ZNR ID", "IP Address", "Port Number", "Status", "Last Updated"}}};
    for (const auto& [defaultStartup, headings] : cases) {
        openWindow(defaultStartup);
        EXPECT_EQ(announcedHeadings, headings) << defaultStartup;
        EXPECT_EQ(count(), QStringLiteral("0"));
    }
}

// Each guarded command: the action, the answers typed (nullopt clicks Cancel), whether they
// allow it, the message boxes shown on the way, and the rows and count shown afterwards.
struct Guarded {
    const char* action;
    Entries answers;
    bool allowed;
    int messages;
    QString shownAfter = {};
};
void PrintTo(const Guarded& k, std::ostream* os) {
    *os << k.action << (k.allowed ? " allowed" : " refused");
}
struct PasswordGuardTest : MainWindowFixture, ::testing::WithParamInterface<Guarded> {
    QString shown() {
        QStringList rows;
        for (const QStringList& row : announced)
            rows.append(row[Col::EndpointColumn] + u' ' + row[Col::StatusColumn]);
        return rows.join(u',') + u'|' + count();
    }
};

TEST_P(PasswordGuardTest, CommandActsOnlyOnceItsPasswordIsGiven) {
    const Guarded& k = GetParam();
    openWindow("ETHERNET", 2);
    clickRow(0);
    const QByteArray action = k.action;
    if (action == "close")
        window().close();
    else if (action.startsWith("mnu"))
        find<QAction>(k.action)->trigger();
    else
        clickButton(k.action);
    const bool menu = action == "mnuConfigure";
    const bool closing = action == "close" || action == "mnuExit";
    const QString before = shown();
    EXPECT_EQ(login.LoginPurpose, menu ? "MENU" : closing ? "CLOSE" : "DISCONNECT");
    EXPECT_EQ(before, "10.0.0.1 Connected,10.0.0.2 Connected|2"); // nothing before the answer
    EXPECT_TRUE(window().isVisible());

    answerLogin(k.answers);
    EXPECT_EQ(loginWindow(), nullptr);
    EXPECT_EQ(prompts.shown, QStringList(k.messages, "Login|Invalid Password, try again!"));
    EXPECT_EQ(login.LoginOK, closing && k.allowed);
    EXPECT_EQ(settingsShown, menu && k.allowed ? 1 : 0);
    EXPECT_EQ(window().closedForGood(), closing && k.allowed);
    EXPECT_EQ(window().isVisible(), !(closing && k.allowed));
    EXPECT_EQ(c.hasEntry(2), !(closing && k.allowed));
    EXPECT_EQ(links.to(host(1)) == nullptr,
              k.allowed && (closing || action == "cmdDeleteConnection"));
    if (!closing) {
        EXPECT_EQ(shown(), k.allowed && !menu ? k.shownAfter : before);
    }
    EXPECT_TRUE(logEntries().isEmpty());
}

std::vector<Guarded> everyGuardedCommand() {
    std::vector<Guarded> out;
    for (const auto& [button, after] : {
             std::pair{"cmdDisconnect", "10.0.0.1 Disconnected,10.0.0.2 Connected|1"},
             std::pair{"cmdDisconnectAll", "10.0.0.1 Disconnected,10.0.0.2 Disconnected|0"},
             std::pair{"cmdDeleteConnection", "10.0.0.2 Connected|1"},
         }) {
        out.push_back({button, {QStringLiteral("disc")}, true, 0, after});
        out.push_back({button, {QStringLiteral("Disc"), std::nullopt}, false, 1});
        out.push_back({button, {QStringLiteral("admin"), std::nullopt}, false, 1});
        out.push_back({button, {std::nullopt}, false, 0});
    }
    for (const char* admin : {"mnuConfigure", "close", "mnuExit"}) {
        out.push_back({admin, {std::nullopt}, false, 0});
        out.push_back({admin, {QStringLiteral("disc"), std::nullopt}, false, 1});
        out.push_back({admin, {QStringLiteral("x"), QStringLiteral("admin")}, true, 1});
    }
    return out;
}
INSTANTIATE_TEST_SUITE_P(Commands, PasswordGuardTest, ::testing::ValuesIn(everyGuardedCommand()),
                         [](const auto& info) {
                             return std::string(info.param.action) + "_" +
                                    std::to_string(info.index);
                         });

// A frame updates the row of its own index wherever deletes and reuse moved it; a drop marks
// its row, and Connect reopens it without a password.
TEST_F(MainWindowTest, RowsFollowTheirConnectionsAfterADelete) {
    openWindow("ETHERNET", 3);
    link(3).receive(instrumentFrame("IST", "RUN MODE,a,b,1111"));
    clickRow(0);
    clickButton("cmdDeleteConnection");
    answerLogin({QStringLiteral("disc")});
    EXPECT_EQ(list.selectedPosition(), 0); // the view moved the selection to the next row
    openHost("10.0.0.9", 10009);
    EXPECT_EQ(shownColumn(Col::EndpointColumn), (QStringList{"10.0.0.2", "10.0.0.3", "10.0.0.9"}));
    EXPECT_EQ(list.indexAt(2), 1);
    EXPECT_EQ(count(), QStringLiteral("3"));

    clock.advanceMs(5'000);
    link(3).receive(instrumentFrame("IST", "RUN MODE,a,b,4711"));
    link(2).drop(10054, "Connection is reset by remote side");
    EXPECT_EQ(shownColumn(Col::IdColumn), (QStringList{"N/A", "4711", "N/A"}));
    EXPECT_EQ(statuses(), (QStringList{"Disconnected", "Connected", "Connected"}));
    EXPECT_EQ(shownColumn(Col::LastUpdatedColumn).mid(0, 2),
              QStringList(2, QString::fromLatin1(now())));
    EXPECT_EQ(count(), QStringLiteral("2"));
    EXPECT_EQ(logEntries(), QByteArrayList{"frmZNRInterface.ZNRSocket_Error, 10054, Connection is "
                                           "reset by remote side"});
    clickRow(0);
    clickButton("cmdConnect");
    EXPECT_EQ(loginWindow(), nullptr);
    EXPECT_EQ(statuses(), (QStringList{"Connected", "Connected", "Connected"}));
    EXPECT_EQ(link(2).written, QByteArrayList{Greeting}); // a fresh line, greeted
}

} // namespace
} // namespace znr::test
