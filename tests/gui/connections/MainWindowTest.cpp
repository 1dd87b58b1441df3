#include "gui/connections/MainWindowFixture.h"

#include <QAction>

namespace znr::test {
namespace {

using MainWindowTest = MainWindowFixture;
using Col = ConnectionList::Column;
using Entries = std::vector<std::optional<QString>>;

// Exactly "SERIAL" gives the serial headings; any other text the Ethernet ones, though a
// lower-case "serial" still makes a serial run.
TEST_F(MainWindowTest, HeadingsFollowTheTransportOfTheRun) {
    const struct {
        const char* defaultStartup;
        QStringList headings;
    } cases[] = {{"SERIAL", {"ZNR ID", "COMM Port", "Settings", "Status", "Last Updated"}},
                 {"ETHERNET", {"ZNR ID", "IP Address", "Port Number", "Status", "Last Updated"}},
                 {"serial", {"ZNR ID", "IP Address", "Port Number", "Status", "Last Updated"}}};
    for (const auto& k : cases) {
        openWindow(k.defaultStartup);
        EXPECT_EQ(announcedHeadings, k.headings) << k.defaultStartup;
        EXPECT_EQ(count(), QStringLiteral("0"));
    }
    openCom("3");
    ASSERT_EQ(shownColumn(Col::EndpointColumn), QStringList{"3"});
    clickRow(0);
    clickButton("cmdDisconnect");
    answerLogin({QStringLiteral("disc")});
    EXPECT_FALSE(links.toCom(3)->isOpen()); // the serial way: the port of the row, no socket
    EXPECT_EQ(statuses(), QStringList{"Disconnected"});
    EXPECT_EQ(count(), QStringLiteral("0"));
}

// Each guarded command: the action, the answers typed, whether they allow it, and the
// message boxes shown on the way.
struct Guarded {
    const char* action;
    Entries answers;
    bool allowed;
    int messages;
};
void PrintTo(const Guarded& k, std::ostream* os) {
    *os << k.action << (k.allowed ? " allowed" : " refused");
}
struct PasswordGuardTest : MainWindowFixture, ::testing::WithParamInterface<Guarded> {};

TEST_P(PasswordGuardTest, CommandActsOnlyOnceItsPasswordIsGiven) {
    const Guarded& k = GetParam();
    openWindow("ETHERNET", 2);
    clock.advanceMs(60'000);
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
    EXPECT_EQ(login.LoginPurpose, menu ? "MENU" : closing ? "CLOSE" : "DISCONNECT");
    EXPECT_EQ(statuses(), (QStringList{"Connected", "Connected"})); // nothing before the answer
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
    EXPECT_TRUE(logEntries().isEmpty());
    const QString now = QString::fromLatin1(ConnectionsFixture::now());
    if (!k.allowed || menu) {
        EXPECT_EQ(statuses(), (QStringList{"Connected", "Connected"}));
        EXPECT_EQ(count(), QStringLiteral("2"));
        EXPECT_EQ(link(1).closeCalls + link(2).closeCalls, 0);
    } else if (action == "cmdDisconnect") {
        EXPECT_EQ(statuses(), (QStringList{"Disconnected", "Connected"}));
        EXPECT_EQ(shownCell(0, Col::LastUpdatedColumn), now);
        EXPECT_EQ(count(), QStringLiteral("1"));
        EXPECT_FALSE(link(1).isOpen());
    } else if (action == "cmdDisconnectAll") {
        EXPECT_EQ(statuses(), (QStringList{"Disconnected", "Disconnected"}));
        EXPECT_EQ(count(), QStringLiteral("0"));
    } else if (action == "cmdDeleteConnection") {
        EXPECT_EQ(shownColumn(Col::EndpointColumn), QStringList{"10.0.0.2"});
        EXPECT_EQ(count(), QStringLiteral("1"));
        EXPECT_EQ(c.indexes().next, 1);
    }
}

std::vector<Guarded> everyGuardedCommand() {
    std::vector<Guarded> out;
    for (const char* button : {"cmdDisconnect", "cmdDisconnectAll", "cmdDeleteConnection"}) {
        out.push_back({button, {QStringLiteral("disc")}, true, 0});
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

TEST_F(MainWindowTest, ClosingWhileALineOpensWritesNothingAfterTheConnectionsAreClosed) {
    links.opening = FakeLink::Opening::Later;
    openWindow("ETHERNET", 1); // still opening
    QPointer<FakeLink> opening = links.to(host(1));
    window().close();
    answerLogin({QStringLiteral("admin")});
    EXPECT_TRUE(window().closedForGood());
    EXPECT_FALSE(c.openingsPending());
    EXPECT_TRUE(opening.isNull() || opening->closeCalls == 1);
    EXPECT_EQ(links.to(host(1)), nullptr);
    EXPECT_TRUE(logEntries().isEmpty());
}

TEST_F(MainWindowTest, DisconnectedRowIsReopenedByConnectWithoutAPassword) {
    openWindow("ETHERNET", 2);
    clickRow(1);
    clickButton("cmdDisconnect");
    answerLogin({QStringLiteral("disc")});
    ASSERT_EQ(statuses(), (QStringList{"Connected", "Disconnected"}));
    clock.advanceMs(30'000);
    clickButton("cmdConnect");
    EXPECT_EQ(loginWindow(), nullptr);
    EXPECT_EQ(statuses(), (QStringList{"Connected", "Connected"}));
    EXPECT_EQ(shownCell(1, Col::LastUpdatedColumn), QString::fromLatin1(now()));
    EXPECT_EQ(count(), QStringLiteral("2"));
    EXPECT_EQ(link(2).written, QByteArrayList{Greeting}); // a fresh line, greeted
}

// The freed index goes to the next connection; a frame updates the row of its own index; an
// error marks its row.
TEST_F(MainWindowTest, RowsFollowTheirConnectionsAfterADelete) {
    openWindow("ETHERNET", 3);
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
}

} // namespace
} // namespace znr::test
