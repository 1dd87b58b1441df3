#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <map>

namespace znr {

// The traffic of one connection since its last batch end (or the texts the trouble-shooting
// window exported): received frames and sent replies with control characters shown as tokens.
// It holds at most MaxLines lines of at most ByteLimit bytes together; the first line refused
// makes it Full for good (a batch end replaces a connection's record with an empty one).
struct RawTrafficRecord {
    static constexpr qint16 MaxLines = 32767;
    static constexpr qsizetype DefaultByteLimit = qsizetype(64) << 20;

    QByteArrayList Lines;
    qint16 Count = 0;    // lines held
    QByteArray ID;       // first part of the export file name
    QByteArray Code;     // second part of the export file name
    qsizetype Bytes = 0; // the lines' bytes together
    bool Full = false;   // a line was refused (and logged); later ones are refused silently
    qsizetype ByteLimit = DefaultByteLimit;
};

// The raw records of a run: each connection's own, keyed by its index and made on first use
// whatever the index, and one for the trouble-shooting window's exports.
class RawData {
public:
    RawData() = default;
    // Records that hold at most `byteLimit` bytes each.
    static RawData withByteLimit(qsizetype byteLimit) {
        RawData raw;
        raw.byteLimit_ = byteLimit;
        raw.troubleShooting_.ByteLimit = byteLimit;
        return raw;
    }

    // Connection `index`'s record; an empty one when it has none yet.
    RawTrafficRecord& operator[](int index) {
        return connections_.try_emplace(index, emptyRecord()).first->second;
    }
    // Empties connection `index`'s record by letting it go (a batch end, a reconnect, a deleted
    // connection), so that memory follows the connections that hold traffic.
    void drop(int index) { connections_.erase(index); }
    // How many connections hold a record.
    std::size_t size() const { return connections_.size(); }

    // The trouble-shooting window's record, apart from every connection's.
    RawTrafficRecord& troubleShooting() { return troubleShooting_; }

private:
    RawTrafficRecord emptyRecord() const {
        RawTrafficRecord r;
        r.ByteLimit = byteLimit_;
        return r;
    }

    qsizetype byteLimit_ = RawTrafficRecord::DefaultByteLimit;
    std::map<int, RawTrafficRecord> connections_;
    RawTrafficRecord troubleShooting_;
};

} // namespace znr
