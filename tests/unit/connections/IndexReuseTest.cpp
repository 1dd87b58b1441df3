#include "unit/connections/ConnectionsFixture.h"

namespace znr::test {
namespace {

using Col = ConnectionList::Column;

// The same orders of deletes and creates in both kinds of run.
struct IndexReuseTest : ConnectionsFixture, ::testing::WithParamInterface<const char*> {
    IndexReuseTest() { settings.DefaultStartup = GetParam(); }

    // Instrument k of the run: 10.0.0.k:10001, or COM (10 + k).
    void open(int k) {
        if (settings.isEthernetRun())
            createEthernet(host(k), 10001);
        else
            createSerial(QByteArray::number(10 + k));
    }
    // Deletes the row bound to `index`.
    void deleteIndex(int index) {
        const std::optional<int> row = list.positionOf(index);
        ASSERT_TRUE(row) << "no row for " << index;
        select(*row);
        c.DeleteConnection();
        ASSERT_FALSE(list.positionOf(index));
    }
    qint16 currentNode() { return c.nodes().CurrentNode; }
    QByteArray freeList() { return c.nodes().FreeNodeList; }
};

TEST_P(IndexReuseTest, FirstConnectionsTakeIndexesInOrder) {
    EXPECT_EQ(currentNode(), 1);
    for (int k = 1; k <= 3; ++k)
        open(k);
    EXPECT_EQ(rowIndexes(), (QList<int>{1, 2, 3}));
    EXPECT_EQ(currentNode(), 4);
    EXPECT_EQ(freeList(), "");
}

// The deleted connection's raw record goes with it: the next one on index 2 starts afresh.
TEST_P(IndexReuseTest, DeletedIndexBelowTheEndIsTakenAtOnceAndItsRowGoesLast) {
    for (int k = 1; k <= 3; ++k)
        open(k);
    channels.at(2).batch.raw.lines = {"<SENT><ACK8>"};
    deleteIndex(2);
    EXPECT_EQ(channels.find(2), nullptr);
    EXPECT_EQ(currentNode(), 2);
    EXPECT_EQ(freeList(), "");
    EXPECT_EQ(list.countText(), "2");
    open(4);
    EXPECT_EQ(rowIndexes(), (QList<int>{1, 3, 2}));
    EXPECT_EQ(cell(2, Col::EndpointColumn), settings.isEthernetRun() ? host(4) : "14");
    EXPECT_EQ(currentNode(), 4);
}

TEST_P(IndexReuseTest, LaterDeletesQueueUntilCurrentNodeIsTakenThenAreReusedOldestFirst) {
    for (int k = 1; k <= 3; ++k)
        open(k);
    deleteIndex(1);
    EXPECT_EQ(currentNode(), 1);
    EXPECT_EQ(freeList(), "");
    deleteIndex(2);
    deleteIndex(3);
    EXPECT_EQ(currentNode(), 1);
    EXPECT_EQ(freeList(), "2,3,");
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(list.countText(), "0");

    open(4);
    EXPECT_EQ(currentNode(), 2);
    EXPECT_EQ(freeList(), "3,");
    open(5);
    EXPECT_EQ(currentNode(), 3);
    EXPECT_EQ(freeList(), "");
    open(6);
    EXPECT_EQ(currentNode(), 4);
    EXPECT_EQ(rowIndexes(), (QList<int>{1, 2, 3}));
}

TEST_P(IndexReuseTest, DeletingTwoRowsWhileCurrentNodeIsFreeQueuesBothInDeletionOrder) {
    for (int k = 1; k <= 4; ++k)
        open(k);
    deleteIndex(2); // CurrentNode 5 was past the end: 2 is taken at once
    ASSERT_EQ(currentNode(), 2);
    deleteIndex(4);
    deleteIndex(1);
    EXPECT_EQ(freeList(), "4,1,");
    EXPECT_EQ(currentNode(), 2);
    EXPECT_EQ(rowIndexes(), QList<int>{3});
}

INSTANTIATE_TEST_SUITE_P(Runs, IndexReuseTest, ::testing::Values("ETHERNET", "SERIAL"));

struct RowBindingTest : ConnectionsFixture {};

TEST_F(RowBindingTest, DataOnAnIndexUpdatesTheRowOfItsEndpointAfterEarlierRowsWentAway) {
    createHosts(3);
    select(0);
    c.DeleteConnection();
    ASSERT_EQ(rowIndexes(), (QList<int>{2, 3}));
    const QByteArrayList rowOfTwo = rowTexts()[0];

    clock.advanceMs(90'000);
    socket(3).feed(instrumentFrame("RST", ""));
    EXPECT_EQ(cell(1, Col::EndpointColumn), host(3));
    EXPECT_EQ(cell(1, Col::LastUpdatedColumn), now());
    EXPECT_EQ(cell(1, Col::IdColumn), "N/A");
    EXPECT_EQ(socket(3).sent, (QByteArrayList{Greeting, Greeting})); // the frame's ACK8

    clock.advanceMs(1000);
    socket(3).feed(instrumentFrame("IST", "RUN MODE,a,b,4711"));
    EXPECT_EQ(cell(1, Col::IdColumn), "4711");
    EXPECT_EQ(cell(1, Col::LastUpdatedColumn), now());
    EXPECT_EQ(rowTexts()[0], rowOfTwo);
    EXPECT_TRUE(logLines().isEmpty());
}

TEST_F(RowBindingTest, SerialDataUpdatesTheRowOfItsIndex) {
    serialRun();
    for (const char* com : {"3", "4", "5"})
        createSerial(com);
    select(1);
    c.DeleteConnection();
    clock.advanceMs(5000);
    port(3).feed(instrumentFrame("IST", "RUN MODE,a,b,0815"));
    EXPECT_EQ(rowIndexes(), (QList<int>{1, 3}));
    EXPECT_EQ(cell(1, Col::IdColumn), "0815");
    EXPECT_EQ(cell(1, Col::LastUpdatedColumn), now());
    EXPECT_EQ(cell(0, Col::IdColumn), "N/A");
    EXPECT_EQ(port(3).written, (QByteArrayList{Greeting, Greeting}));
}

} // namespace
} // namespace znr::test
