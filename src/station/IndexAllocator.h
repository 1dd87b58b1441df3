#pragma once

#include <QByteArray>
#include <functional>

namespace znr {

// Chooses the connection index of the next new connection. Deleted indexes wait in the free list
// ("3,7," : each index followed by a comma, oldest first) and are reused oldest first, once the
// index named by next has been taken by a live connection.
class IndexAllocator {
public:
    struct Occupancy {
        int highestIndex = 0;             // largest index that has a connection entry
        std::function<bool(int)> isEmpty; // the index has no entry
        std::function<bool(int)> inUse;   // its line is open
    };

    qint16 next = 1;
    QByteArray freeList;

    // Updates next and the free list after a connection was created or deleted.
    void update(const Occupancy& occupancy);

    void release(int index);
    // Takes a queued index back out (a delete whose close failed keeps its connection).
    void reclaim(int index);
};

} // namespace znr
