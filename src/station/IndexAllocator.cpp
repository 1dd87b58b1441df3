#include "station/IndexAllocator.h"

#include "core/Failure.h"

#include <QByteArrayList>

namespace znr {
namespace {

QByteArrayList entriesOf(const QByteArray& list) {
    QByteArrayList entries;
    for (const QByteArray& e : list.split(','))
        if (!e.isEmpty())
            entries.append(e);
    return entries;
}

// The value of the entry's leading decimal digits.
int leadingNumber(const QByteArray& entry) {
    int value = 0;
    for (char c : entry) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
        if (value > 32767)
            throw Failure::overflow();
    }
    return value;
}

QByteArray joined(const QByteArrayList& entries) {
    QByteArray text;
    for (const QByteArray& e : entries)
        text += e + ',';
    return text;
}

} // namespace

void IndexAllocator::update(const Occupancy& occupancy) {
    QByteArrayList entries = entriesOf(freeList);
    if (entries.isEmpty()) {
        if (occupancy.highestIndex + 1 > 32767)
            throw Failure::overflow();
        next = qint16(occupancy.highestIndex + 1);
        return;
    }
    const bool pastTheEnd = next == occupancy.highestIndex + 1;
    if (!pastTheEnd && (occupancy.isEmpty(next) || !occupancy.inUse(next)))
        return;
    next = qint16(leadingNumber(entries.takeFirst()));
    freeList = joined(entries);
}

void IndexAllocator::release(int index) {
    freeList += QByteArray::number(index) + ',';
}

void IndexAllocator::reclaim(int index) {
    QByteArrayList entries = entriesOf(freeList);
    const QByteArray text = QByteArray::number(index);
    for (qsizetype i = entries.size() - 1; i >= 0; --i) {
        if (entries[i] == text) {
            entries.removeAt(i);
            break;
        }
    }
    freeList = joined(entries);
}

} // namespace znr
