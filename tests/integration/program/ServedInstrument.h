#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QTcpServer>
#include <QTcpSocket>

namespace znr::test {

// An instrument played inside the test: a TCP server on a free loopback port that the program
// connects to. The test decides every byte sent and counts the program's replies.
class ServedInstrument {
public:
    ServedInstrument();

    quint16 port() const { return server_.serverPort(); }
    // Waits for the program to connect and send its greeting ACK8.
    bool waitForProgram(int timeoutMs = 20000);

    // Writes and waits until the bytes have left (processing events).
    bool send(const QByteArray& bytes, int timeoutMs = 20000);
    // Sends each frame and waits for its ACK8 before the next; false when one does not come.
    bool sendFrames(const QByteArrayList& frames, int timeoutMs = 20000);
    // Waits until at least `count` ACK8 came after the greeting in all.
    bool waitForAcks(qint64 count, int timeoutMs = 20000);

    qint64 acks(); // ACK8 received since the greeting
    qint64 naks(); // NAK8 received
    // Bytes that were neither ACK8 nor NAK8 (must stay 0).
    qint64 strayBytes() const { return stray_; }
    bool connected() const;

private:
    void pull();

    QTcpServer server_;
    QTcpSocket* socket_ = nullptr;
    QByteArray tail_;
    qint64 acks_ = 0; // the greeting included
    qint64 naks_ = 0;
    qint64 stray_ = 0;
};

// A frame as an instrument sends it: SOH "1" type STX payload ETX EOT.
QByteArray instrumentFrame(const char* type, const QByteArray& payload);

// A RUN MODE batch of instrument `id` with codes W1,D1 and three rows; its data file holds
// tests/data/protocol/run_mode_column.dat below the first line, and `endType` ends it.
QByteArrayList threeRowBatch(const QByteArray& id, const char* endType = "ENB");

// The data file of threeRowBatch(id): first line "<ID>,100,<date-time>,3,2", then exactly the
// known answer's lines. Empty when it is, otherwise what differs.
QByteArray threeRowFileProblem(const QByteArray& bytes, const QByteArray& id);

// The files in `folder` whose names begin with `prefix`.
QByteArrayList filesStartingWith(const QByteArray& folder, const QByteArray& prefix);

// VmRSS / VmHWM of a process in KiB (0 when unreadable).
qint64 residentKiB(qint64 pid);
qint64 peakResidentKiB(qint64 pid);

} // namespace znr::test
