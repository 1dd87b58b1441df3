#pragma once

#include "SimInstrument.h"
#include "support/ProgramRun.h"

#include <QByteArrayList>
#include <QStringList>
#include <memory>
#include <vector>

namespace soak {

// One headless znr-extractor of the soak in a folder of its own: archiving on, [RECONNECT]
// SECONDS=1, its standard output and error in files beside it, its memory sampled.
class SoakProgram {
public:
    SoakProgram(QString name, const QString& folder)
        : name_(std::move(name)), run_(folder.toLocal8Bit()) {}

    const QString& name() const { return name_; }
    bool column() const { return config_.column; }
    QByteArray folder(const char* sub) const { return run_.path(QByteArray(sub) + '/'); }
    QString path(const QString& name) const {
        return QFile::decodeName(run_.path(QFile::encodeName(name)));
    }
    znr::test::ProgramRun& run() { return run_; }
    const znr::test::ProgramRun& run() const { return run_; }

    // Writes the INI for the instruments and starts the program; false when either fails.
    bool start(bool column, const QList<quint16>& tcpPorts, const QMap<int, QString>& serialLinks);
    void sample();
    const QList<qint64>& samples() const { return samples_; }
    int announcements() const; // data files announced on standard output
    QByteArray errorOutput() const;

private:
    QString name_;
    znr::test::ProgramRun run_;
    znr::test::ProgramConfig config_;
    QList<qint64> samples_;
};

// What the files and the log of one program instance showed.
struct CheckResult {
    int batches = 0; // acknowledged batches, each with its data file and raw file
    int frames = 0;  // frames the simulators sent
    int naks = 0;    // NAK8 the simulators received
    int refused = 0; // batch ends answered with NAK8 and resent
    int drops = 0;   // instruments killed while connected
    int logLines = 0;
    QStringList problems; // lost, damaged or unexpected files; unexpected log lines
};

// Matches every acknowledged batch of every incarnation with exactly one data file (byte for
// byte one of the files its simulator expected) and one raw file, finds files no acknowledged
// batch explains, and sorts the error log into the lines the faults explain and the rest.
// `diskFills`: how often a data folder of the program was on a full file system.
CheckResult checkInstance(const SoakProgram& program,
                          const std::vector<std::unique_ptr<SimInstrument>>& instruments,
                          int diskFills);

} // namespace soak
