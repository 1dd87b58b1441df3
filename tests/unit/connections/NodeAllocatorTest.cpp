#include "station/NodeAllocator.h"

#include "station/MemoryConnectionList.h"

#include <gtest/gtest.h>
#include <set>

namespace znr {
namespace {

// Elements 1..highest exist; `connected` are in use; `missing` have no element.
struct Table {
    int highest = 0;
    std::set<int> connected;
    std::set<int> missing;

    NodeAllocator::Elements elements() const {
        return {highest, [this](int i) { return i > highest || missing.count(i) > 0; },
                [this](int i) { return connected.count(i) > 0; }};
    }
};

struct NodeAllocatorTest : ::testing::Test {
    NodeAllocator nodes;
    Table table;

    void create() { // a new connection on CurrentNode succeeds
        int i = nodes.CurrentNode;
        table.highest = std::max(table.highest, i);
        table.missing.erase(i);
        table.connected.insert(i);
        nodes.GetCurrentNode(table.elements());
    }
    void remove(int i) { // delete: queue, fresh closed element, choose again
        nodes.appendFree(i);
        table.connected.erase(i);
        nodes.GetCurrentNode(table.elements());
    }
};

TEST_F(NodeAllocatorTest, FirstConnectionsTakeConsecutiveIndexes) {
    EXPECT_EQ(nodes.CurrentNode, 1);
    create();
    create();
    create();
    EXPECT_EQ(nodes.CurrentNode, 4);
    EXPECT_EQ(nodes.FreeNodeList, "");
}

TEST_F(NodeAllocatorTest, DeletedIndexIsReusedAtOnceWhenNextIsPastTheEnd) {
    create(), create(), create();
    remove(2);
    EXPECT_EQ(nodes.CurrentNode, 2);
    EXPECT_EQ(nodes.FreeNodeList, "");
    create();
    EXPECT_EQ(nodes.CurrentNode, 4);
}

TEST_F(NodeAllocatorTest, LaterDeletesQueueUntilCurrentNodeIsTaken) {
    create(), create(), create();
    remove(1);
    EXPECT_EQ(nodes.CurrentNode, 1);
    remove(2);
    remove(3);
    EXPECT_EQ(nodes.CurrentNode, 1);
    EXPECT_EQ(nodes.FreeNodeList, "2,3,");
    create();
    EXPECT_EQ(nodes.CurrentNode, 2);
    EXPECT_EQ(nodes.FreeNodeList, "3,");
}

TEST_F(NodeAllocatorTest, FailedAttemptOnReusedIndexKeepsIt) {
    create(), create(), create();
    remove(1);
    remove(2);
    table.missing.insert(1); // the attempt on index 1 failed and destroyed its element
    nodes.GetCurrentNode(table.elements());
    EXPECT_EQ(nodes.CurrentNode, 1);
    EXPECT_EQ(nodes.FreeNodeList, "2,");
}

TEST_F(NodeAllocatorTest, RemoveFreeTakesBackTheLatestQueuedEntry) {
    nodes.FreeNodeList = "3,7,3,";
    nodes.removeFree(3);
    EXPECT_EQ(nodes.FreeNodeList, "3,7,");
    nodes.removeFree(9);
    EXPECT_EQ(nodes.FreeNodeList, "3,7,");
}

TEST_F(NodeAllocatorTest, EntriesUseTheirLeadingDigits) {
    table.highest = 5;
    table.connected = {1, 2, 3, 4, 5};
    nodes.CurrentNode = 6;
    nodes.FreeNodeList = "4x,,5,";
    nodes.GetCurrentNode(table.elements());
    EXPECT_EQ(nodes.CurrentNode, 4);
    EXPECT_EQ(nodes.FreeNodeList, "5,");
}

TEST(ConnectionList, RowsStayBoundToTheirIndexAndRecountCountsConnected) {
    MemoryConnectionList list;
    for (int i : {1, 2, 3})
        list.appendRow(i, {"N/A", "10.0.0." + QByteArray::number(i), "10001",
                           i == 2 ? "Disconnected" : "Connected", "t"});
    list.removeRow(0);
    EXPECT_EQ(list.positionOf(3), 1);
    EXPECT_EQ(list.positionOf(1), std::nullopt);
    list.recount();
    EXPECT_EQ(list.countText(), "1");
    list.setCell(1, ConnectionList::StatusColumn, "connected");
    list.recount();
    EXPECT_EQ(list.countText(), "0");
}

} // namespace
} // namespace znr
