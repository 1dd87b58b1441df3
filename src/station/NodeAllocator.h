#pragma once

#include <QByteArray>
#include <functional>

namespace znr {

// Chooses the connection index of the next new connection. Deleted indexes wait in
// FreeNodeList ("3,7," : each index followed by a comma, oldest first) and are reused oldest
// first, once the index named by CurrentNode has been taken by a live connection.
class NodeAllocator {
public:
    struct Elements {
        int highestIndex = 0;             // largest index that has an element
        std::function<bool(int)> isEmpty; // the index has no element
        std::function<bool(int)> inUse;   // connected socket, or open port
    };

    qint16 CurrentNode = 1;
    QByteArray FreeNodeList;

    // Updates CurrentNode and FreeNodeList after a connection was created or deleted.
    void GetCurrentNode(const Elements& elements);

    void appendFree(int index);
    // Takes a queued index back out (a delete whose close failed keeps its connection).
    void removeFree(int index);
};

} // namespace znr
