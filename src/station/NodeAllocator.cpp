#include "station/NodeAllocator.h"

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

void NodeAllocator::GetCurrentNode(const Elements& elements) {
    QByteArrayList entries = entriesOf(FreeNodeList);
    if (entries.isEmpty()) {
        if (elements.highestIndex + 1 > 32767)
            throw Failure::overflow();
        CurrentNode = qint16(elements.highestIndex + 1);
        return;
    }
    const bool pastTheEnd = CurrentNode == elements.highestIndex + 1;
    if (!pastTheEnd && (elements.isEmpty(CurrentNode) || !elements.inUse(CurrentNode)))
        return;
    CurrentNode = qint16(leadingNumber(entries.takeFirst()));
    FreeNodeList = joined(entries);
}

void NodeAllocator::appendFree(int index) {
    FreeNodeList += QByteArray::number(index) + ',';
}

void NodeAllocator::removeFree(int index) {
    QByteArrayList entries = entriesOf(FreeNodeList);
    const QByteArray text = QByteArray::number(index);
    for (qsizetype i = entries.size() - 1; i >= 0; --i) {
        if (entries[i] == text) {
            entries.removeAt(i);
            break;
        }
    }
    FreeNodeList = joined(entries);
}

} // namespace znr
