#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QStringList>

namespace sim {

// Everything the command line says.
struct SimOptions {
    enum class LinkKind { Tcp, Serial, Pty };
    LinkKind link = LinkKind::Tcp;
    quint16 listenPort = 0; // --listen (0: any free port, printed at start)
    QString address = QStringLiteral("127.0.0.1");
    QString serialDevice; // --serial
    QByteArray serialSettings = "9600,n,8,1";
    QString ptyLink; // --pty

    QByteArray id = "1234";
    QByteArray mode = "RUN MODE"; // "RUN MODE", "CAL. CHECK" or "FAST MODE"
    QByteArray batchCode = "X100";
    QByteArrayList codes{"W1", "D1"};
    int rows = 3;
    int batches = 1; // 0: forever
    int intervalMs = 0;
    QByteArray end = "ENB"; // "ENB" or "ERR"
    quint64 seed = 1;

    int fragments = 1;
    int gapMs = 0;
    int lateMs = 0; // 0: no late frame
    bool burst = false;
    int resendWaitMs = 1000; // before a complete frame answered with NAK8 is sent again
    bool stats = false;
    bool verbose = false;
    QString expectDir;

    bool calCheck() const { return mode == "CAL. CHECK"; }
};

// Outcome of reading the command line: options, or a help request, or an error message.
struct ParseResult {
    SimOptions options;
    bool help = false;
    QString error; // non-empty: bad arguments
    QString helpText;
};

ParseResult parseArguments(const QStringList& arguments);

} // namespace sim
