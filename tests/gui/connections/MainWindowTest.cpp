#include "gui/connections/MainWindowFixture.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace znr::test {
namespace {

using MainWindowTest = MainWindowFixture;

struct Headings {
    const char* defaultStartup;
    const char* endpoint;
    const char* parameter;
};

void PrintTo(const Headings& h, std::ostream* os) {
    *os << h.defaultStartup;
}

struct MainWindowHeadingsTest : MainWindowFixture, ::testing::WithParamInterface<Headings> {};

TEST_P(MainWindowHeadingsTest, WindowShowsItsControlsWithTheHeadingsOfTheTransport) {
    openWindow(GetParam().defaultStartup);
    EXPECT_EQ(window().windowTitle(), QStringLiteral("ZNR Data Extractor"));
    EXPECT_FALSE(window().windowIcon().isNull());
    EXPECT_EQ(find<QLabel>("Label1")->text(), QStringLiteral("Number of ZNR's Connected:"));
    EXPECT_EQ(count(), QStringLiteral("0"));

    QTreeWidgetItem* header = tree()->headerItem();
    QStringList headings;
    for (int col = 0; col < tree()->columnCount(); ++col)
        headings.append(header->text(col));
    EXPECT_EQ(headings, (QStringList{"ZNR ID", GetParam().endpoint, GetParam().parameter, "Status",
                                     "Last Updated"}));
    EXPECT_EQ(tree()->topLevelItemCount(), 0);

    // The buttons stand left to right in this order.
    const struct {
        const char* name;
        const char* caption;
    } buttons[] = {{"cmdNewConnection", "New Connection"},
                   {"cmdConnect", "Connect"},
                   {"cmdDisconnect", "Disconnect"},
                   {"cmdDisconnectAll", "Disconnect All"},
                   {"cmdDeleteConnection", "Delete Connection"}};
    int lastX = -1;
    for (const auto& b : buttons) {
        QPushButton* button = find<QPushButton>(b.name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), QString::fromLatin1(b.caption));
        const int x = button->mapTo(&window(), QPoint(0, 0)).x();
        EXPECT_GT(x, lastX) << b.name;
        lastX = x;
    }

    QMenu* file = find<QMenu>("mnuFile");
    QMenu* tools = find<QMenu>("mnuTools");
    ASSERT_TRUE(file && tools);
    EXPECT_EQ(file->title(), QStringLiteral("File"));
    EXPECT_EQ(tools->title(), QStringLiteral("Tools"));
    EXPECT_EQ(window().menuBar()->actions(),
              (QList<QAction*>{file->menuAction(), tools->menuAction()}));
    ASSERT_EQ(file->actions().size(), 1);
    EXPECT_EQ(file->actions()[0]->objectName(), QStringLiteral("mnuExit"));
    EXPECT_EQ(file->actions()[0]->text(), QStringLiteral("Exit"));
    ASSERT_EQ(tools->actions().size(), 1);
    EXPECT_EQ(tools->actions()[0]->objectName(), QStringLiteral("mnuConfigure"));
    EXPECT_EQ(tools->actions()[0]->text(), QStringLiteral("Configure"));
}

INSTANTIATE_TEST_SUITE_P(Runs, MainWindowHeadingsTest,
                         ::testing::Values(Headings{"SERIAL", "COMM Port", "Settings"},
                                           Headings{"ETHERNET", "IP Address", "Port Number"},
                                           Headings{"serial", "IP Address", "Port Number"}),
                         [](const auto& info) {
                             return std::string(info.param.defaultStartup) +
                                    (QByteArray(info.param.defaultStartup) == "serial" ? "LowerCase"
                                                                                       : "");
                         });

TEST_F(MainWindowTest, LowerCaseSerialGivesEthernetHeadingsButASerialRun) {
    openWindow("serial");
    c().openSerial({"3", "9600,n,8,1"});
    ASSERT_EQ(tree()->topLevelItemCount(), 1);
    EXPECT_EQ(cell(0, ConnectionList::EndpointColumn), QStringLiteral("3"));
    ASSERT_TRUE(links.toCom(3) && links.toCom(3)->isOpen());

    answerLogin({QStringLiteral("disc")});
    clickRow(0);
    clickButton("cmdDisconnect");
    EXPECT_FALSE(links.toCom(3)->isOpen()); // the serial way: the port of the row, no socket
    EXPECT_EQ(statuses(), QStringList{QStringLiteral("Disconnected")});
    EXPECT_EQ(count(), QStringLiteral("0"));
}

TEST_F(MainWindowTest, NewConnectionShowsTheDialogWithoutAPassword) {
    openWindow();
    clickButton("cmdNewConnection");
    EXPECT_EQ(newConnectionShown, 1);
    EXPECT_EQ(loginWindow(), nullptr);
    EXPECT_TRUE(login.LoginPurpose.isEmpty());
}

TEST_F(MainWindowTest, ConfigureOpensTheSettingsOnlyBehindTheAdministratorPassword) {
    openWindow();
    QAction* configure = find<QAction>("mnuConfigure");
    const struct {
        const char* name;
        std::vector<std::optional<QString>> answers;
        int shown;
        int messages;
    } cases[] = {{"cancelled", {std::nullopt}, 0, 0},
                 {"disconnect password", {QStringLiteral("disc"), std::nullopt}, 0, 1},
                 {"wrong then right", {QStringLiteral("x"), QStringLiteral("admin")}, 1, 1},
                 {"right", {QStringLiteral("admin")}, 1, 0}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        settingsShown = 0;
        prompts.shown.clear();
        answerLogin(k.answers);
        configure->trigger();
        EXPECT_EQ(login.LoginPurpose, "MENU");
        EXPECT_EQ(settingsShown, k.shown);
        EXPECT_EQ(prompts.shown.size(), k.messages);
        EXPECT_FALSE(login.LoginOK);
        EXPECT_EQ(loginWindow(), nullptr);
    }
    EXPECT_EQ(loginsAnswered, 4);
}

TEST_F(MainWindowTest, CloseWithTheAdministratorPasswordClosesEveryConnection) {
    openWindow();
    createHosts(3);
    answerLogin({QStringLiteral("admin")});
    window().close();
    EXPECT_EQ(login.LoginPurpose, "CLOSE");
    EXPECT_TRUE(window().closedForGood());
    EXPECT_FALSE(window().isVisible());
    for (int i = 1; i <= 3; ++i) {
        EXPECT_FALSE(c().hasEntry(i)) << i;
        EXPECT_EQ(socket(i), nullptr) << i;
    }
    EXPECT_TRUE(logLines().isEmpty());
}

TEST_F(MainWindowTest, CloseWithoutTheAdministratorPasswordChangesNothing) {
    openWindow();
    createHosts(2);
    const struct {
        const char* name;
        std::vector<std::optional<QString>> answers;
    } cases[] = {{"cancelled", {std::nullopt}},
                 {"disconnect password", {QStringLiteral("disc"), std::nullopt}}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        answerLogin(k.answers);
        window().close();
        EXPECT_TRUE(window().isVisible());
        EXPECT_FALSE(window().closedForGood());
        for (int i = 1; i <= 2; ++i) {
            ASSERT_TRUE(socket(i)) << i;
            EXPECT_TRUE(socket(i)->isOpen());
            EXPECT_EQ(socket(i)->closeCalls, 0);
        }
        EXPECT_EQ(statuses(), (QStringList{"Connected", "Connected"}));
        EXPECT_EQ(count(), QStringLiteral("2"));
    }
    EXPECT_EQ(loginsAnswered, 2);
}

TEST_F(MainWindowTest, ClosingWhileALineOpensWritesNothingAfterTheConnectionsAreClosed) {
    openWindow();
    links.opening = FakeLink::Opening::Later;
    createHosts(1); // still opening
    QPointer<FakeLink> opening = socket(1);
    answerLogin({QStringLiteral("admin")});
    window().close();
    EXPECT_TRUE(window().closedForGood());
    EXPECT_FALSE(c().openingsPending());
    EXPECT_TRUE(opening.isNull() || opening->closeCalls == 1);
    EXPECT_EQ(socket(1), nullptr);
    EXPECT_EQ(logLines(), QByteArrayList{});
}

TEST_F(MainWindowTest, ExitIsTheSameAsClosingTheWindow) {
    openWindow();
    createHosts(2);
    answerLogin({std::nullopt});
    find<QAction>("mnuExit")->trigger();
    EXPECT_TRUE(window().isVisible());
    EXPECT_TRUE(c().hasEntry(1));

    answerLogin({QStringLiteral("admin")});
    find<QAction>("mnuExit")->trigger();
    EXPECT_EQ(login.LoginPurpose, "CLOSE");
    EXPECT_TRUE(window().closedForGood());
    EXPECT_FALSE(window().isVisible());
    EXPECT_FALSE(c().hasEntry(1) || c().hasEntry(2));
    EXPECT_EQ(loginsAnswered, 2);
}

} // namespace
} // namespace znr::test
