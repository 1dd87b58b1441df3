#pragma once

#include "protocol/DebugTextSink.h"
#include "station/ConnectionList.h"
#include "station/RunState.h"

#include <QObject>
#include <cstdio>

class QSocketNotifier;

namespace znr {

// The program without any window, for a workstation nobody is logged in to: the same INI,
// connections, files and logs; the connection list lives in memory; each data file written is
// announced on standard output; SIGTERM and SIGINT close every connection and end the run.
class HeadlessRun final : public QObject, private DebugTextSink {
    Q_OBJECT
public:
    HeadlessRun(QString programFolder, std::FILE* announcements);
    ~HeadlessRun() override;

    // Blocks SIGTERM and SIGINT for this thread and the threads it starts later, so they can be
    // read from a signalfd, and ignores SIGPIPE; call it first thing in main(), before any
    // thread exists.
    static bool blockStopSignals();

    // Listens for the stop signals, loads the configuration and opens the instruments. False
    // when the signal handling cannot be set up.
    bool start();

    // Closes every connection, as closing the main window does (no password), then ends the
    // event loop with exit code 0 (once it runs, when called before).
    void stop();

    ConnectionList& list() { return list_; }

private:
    void appendText(const QByteArray&) override {} // no trouble-shooting window here
    void announce(int index, const QByteArray& path);
    void onStopSignal();

    QString programFolder_;
    std::FILE* announcements_;
    RunState run_;
    ConnectionList list_;
    ConnectionEngine engine_{run_, list_, *this,
                             [this](int index, const QByteArray& path) { announce(index, path); }};
    int signalFd_ = -1;
    QSocketNotifier* stopNotifier_ = nullptr;
    bool stopped_ = false;
};

} // namespace znr
