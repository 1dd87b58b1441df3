#pragma once

#include "SoakPlan.h"

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>

namespace soak {

// One headless znr-extractor in a folder of its own: a copy of the binary, its INI with
// archiving on and [RECONNECT] SECONDS=1, and the six folders beside it.
class ProgramInstance {
public:
    ProgramInstance(QString name, QString folder);
    ~ProgramInstance();

    const QString& name() const { return name_; }
    QByteArray folder(const char* sub) const; // "<folder>/<sub>/"
    QString path(const QString& name) const { return folder_ + QLatin1Char('/') + name; }

    struct Tcp {
        quint16 port;
    };
    struct Serial {
        int comPort;
        QString link;
    };
    // Copies the program and writes the INI; false with a message on failure.
    bool prepare(const QString& binary, bool column, const QList<quint16>& tcpPorts,
                 const QList<Serial>& serialPorts, QString* error);
    bool start(QString* error);
    bool running() const { return process_.state() == QProcess::Running; }
    // SIGTERM; true when it ended on its own with exit code 0.
    bool terminate();
    qint64 pid() const { return process_.processId(); }

    // VmRSS and VmHWM in KiB; 0 when unreadable.
    qint64 rssKiB() const;
    qint64 peakKiB() const;
    void sample();
    const QList<qint64>& samples() const { return samples_; }
    bool column() const { return column_; }

    QByteArrayList logLines() const; // ZNRError.log without line ends
    int announcements() const;       // data files announced on standard output
    QByteArray errorOutput() const;  // standard error

private:
    QString name_;
    QString folder_;
    QProcess process_;
    QList<qint64> samples_;
    bool column_ = true;
};

} // namespace soak
