#include "link/ElementSet.h"

#include "support/FakeSocketElement.h"

#include <QCoreApplication>
#include <QPointer>
#include <gtest/gtest.h>
#include <vector>

namespace znr {
namespace {

using test::FakeSocketElement;
using Set = ElementSet<ISocketElement>;

struct ElementSetTest : ::testing::Test {
    std::vector<int> wired;
    Set set{[](int i) { return std::make_unique<FakeSocketElement>(i); },
            [this](ISocketElement& e) { wired.push_back(e.index()); }};

    FakeSocketElement& fake(int i) { return static_cast<FakeSocketElement&>(set.at(i)); }
};

TEST_F(ElementSetTest, HighestIndexFollowsCreationAndDestructionAndGapsStayEmpty) {
    EXPECT_EQ(set.highestIndex(), 0);
    set.create(1);
    set.create(3);
    EXPECT_EQ(set.highestIndex(), 3);
    EXPECT_FALSE(set.exists(2));
    set.destroy(3);
    EXPECT_EQ(set.highestIndex(), 1);
    set.destroy(1);
    set.destroy(1); // already empty: nothing happens
    EXPECT_EQ(set.highestIndex(), 0);
    EXPECT_TRUE(set.exists(0));
    EXPECT_EQ(wired, (std::vector<int>{0, 1, 3}));
}

TEST_F(ElementSetTest, EmptyIndexIsAFailureNotACrash) {
    set.create(2);
    try {
        set.at(1);
        FAIL() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), 340);
        EXPECT_EQ(f.description(), "Control array element '1' doesn't exist");
    }
    EXPECT_THROW(set.create(0), Failure);
    EXPECT_THROW(set.destroy(0), Failure);
    EXPECT_TRUE(set.exists(0));
}

TEST_F(ElementSetTest, CreateOnATakenIndexGivesAFreshClosedElement) {
    set.create(1).Connect("10.0.0.5", 3001);
    QPointer<ISocketElement> old = &set.at(1);
    ISocketElement& fresh = set.create(1);
    EXPECT_TRUE(old.isNull());
    EXPECT_EQ(fresh.State(), SocketState::Closed);
    EXPECT_EQ(fresh.RemoteHost(), QByteArray());
    EXPECT_EQ(fresh.RemotePort(), 0);
}

TEST_F(ElementSetTest, DestroyOutsideItsEventsDeletesAtOnce) {
    QPointer<ISocketElement> e = &set.create(4);
    set.destroy(4);
    EXPECT_TRUE(e.isNull());
}

TEST_F(ElementSetTest, HandlerMayDestroyTheElementThatRaisedItsEvent) {
    set.create(2);
    FakeSocketElement& element = fake(2);
    QPointer<ISocketElement> watch = &element;
    int handled = 0;
    QObject::connect(&element, &ISocketElement::dataArrival, [&](int index, qint64) {
        ++handled;
        set.destroy(index);
        EXPECT_FALSE(set.exists(index));
    });
    element.feed("\x01"
                 "1DAT");
    EXPECT_EQ(handled, 1);
    ASSERT_FALSE(watch.isNull()) << "deleted while its own event was being handled";
    EXPECT_TRUE(static_cast<FakeSocketElement*>(watch.data())->retired);
    element.feed("more"); // a retired element is cut off from its handlers
    EXPECT_EQ(handled, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watch.isNull());
}

} // namespace
} // namespace znr
