#pragma once

#include "integration/transport/SimHarness.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QStringList>
#include <initializer_list>
#include <memory>

namespace znr::test {

QStringList args(std::initializer_list<const char*> list);

// One znr-sim instrument that logs every write (--verbose) and writes the data files the
// program should produce into its own expect folder.
class Instrument {
public:
    // On a free loopback port; port() is 0 when the simulator did not come up.
    static std::unique_ptr<Instrument> overTcp(const QByteArray& expectDir, QStringList more);
    // On a new pty whose symlink is `link`; false from ready() when it did not come up.
    static std::unique_ptr<Instrument> overPty(const QByteArray& link, const QByteArray& expectDir,
                                               QStringList more);

    quint16 port() const { return port_; }
    bool ready() const { return ready_; }
    SimProcess& sim() { return *sim_; }
    // Waits for the simulator to end; true when it played all its batches (exit code 0).
    bool finishes(int timeoutMs = 30000);
    // "<expectDir>/COLUMN/" or "<expectDir>/ROW/".
    QByteArray expectedFolder(bool column) const;
    // Every frame the simulator sent, its pieces joined, control characters as "<SOH>" tokens.
    QByteArrayList framesSent();
    QByteArray diagnostics(); // what the simulator printed

private:
    Instrument(const QByteArray& expectDir, QStringList arguments);

    QByteArray expectDir_;
    std::unique_ptr<SimProcess> sim_;
    quint16 port_ = 0;
    bool ready_ = false;
};

// Every data file in `folder` equals, byte for byte, the expected file of the same name in
// `expectedFolder`, and there are `batches` of them (one per batch: batches of one instrument
// end in different seconds).
void expectDataFilesAsExpected(const QByteArray& folder, const QByteArray& expectedFolder,
                               int batches);

// The raw lines of `frames` each answered with ACK8: "<RECIVED>" + frame, "<SENT><ACK8>", each
// line ending in CR LF, without the last frame's acknowledgement (it opens a record that is only
// exported at the next batch's end).
QByteArray rawTraffic(const QByteArrayList& frames);

// The raw traffic files named "<prefix><stamp>.dat" in `rawFolder` are one per batch, each ends
// with the batch's ENB frame, each but the first begins with the acknowledgement of the previous
// batch's end, and together, in time order, they hold `traffic` byte for byte.
void expectRawFilesHold(const QByteArray& rawFolder, const QByteArray& prefix,
                        const QByteArray& traffic, int batches);

// The lines that do not begin with any of `prefixes`.
QByteArrayList linesOtherThan(const QByteArrayList& lines, const QByteArrayList& prefixes);

// The regular expression of a log line's date-time ("5/1/2012 10:15:30 AM").
extern const char* const kLogTime;

} // namespace znr::test
