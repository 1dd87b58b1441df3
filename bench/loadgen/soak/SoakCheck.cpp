#include "SoakCheck.h"

#include "support/FileBytes.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <algorithm>

namespace soak {

namespace {

QByteArrayList fileNames(const QByteArray& folder) {
    QByteArrayList names;
    for (const QString& n : QDir(QFile::decodeName(folder)).entryList(QDir::Files, QDir::Name))
        names.append(QFile::encodeName(n));
    return names;
}

QString text(const QByteArray& b) {
    return QString::fromLatin1(b);
}

// A data file without the date-time of its first line: the same batch in every candidate second.
QByteArray withoutTime(const QByteArray& file) {
    const qsizetype eol = file.indexOf('\n');
    QByteArrayList first = file.left(eol).split(',');
    if (first.size() > 2)
        first[2].clear();
    return first.join(',') + file.mid(eol);
}

const char* modeFolder(const InstrumentSpec& s) {
    if (s.mode == "CAL. CHECK")
        return "Cal Check";
    if (s.mode == "FAST MODE")
        return "Fast Mode";
    return s.batchCode.right(3) == kCheckRodId ? "Check Rods" : "Data Files";
}

// One acknowledged batch: the data files its simulator expected, one per candidate second.
struct ExpectedBatch {
    QString where;                            // "t07 #2"
    QHash<QByteArray, QByteArray> candidates; // file name -> bytes
    bool matched = false;
};

// The second an expected file stands for, from the stamp in its name ("T040
// 05-01-2012-101530.dat").
qint64 stampSeconds(const QByteArray& name) {
    const QString stamp = text(name.chopped(4).right(17));
    return QDateTime::fromString(stamp, QStringLiteral("MM-dd-yyyy-HHmmss")).toSecsSinceEpoch();
}

// The expected files of one incarnation, oldest second first.
std::vector<std::pair<qint64, QByteArray>> expectedFiles(const QByteArray& folder) {
    std::vector<std::pair<qint64, QByteArray>> files;
    for (const QByteArray& name : fileNames(folder))
        files.emplace_back(stampSeconds(name), name);
    std::sort(files.begin(), files.end());
    return files;
}

// A batch's candidates are consecutive seconds with the same content. Two batches may carry
// the same readings (one reading of a few digits repeats now and then), but seconds apart.
std::vector<ExpectedBatch> expectedBatches(const SimInstrument& in, bool column, CheckResult& r) {
    std::vector<ExpectedBatch> batches;
    for (const auto& run : in.incarnations()) {
        const SimLog log = run->log();
        r.frames += log.frames;
        r.naks += log.naks;
        r.refused += log.refusedEnds;
        const QByteArray folder =
            QFile::encodeName(run->expectDir) + (column ? "/COLUMN/" : "/ROW/");
        struct Latest {
            size_t batch;
            qint64 lastSecond;
        };
        QHash<QByteArray, Latest> byContent; // the latest batch with that content
        const qsizetype first = qsizetype(batches.size());
        for (const auto& [second, name] : expectedFiles(folder)) {
            const QByteArray bytes = znr::test::readBytes(folder + name);
            const QByteArray key = withoutTime(bytes);
            const auto latest = byContent.constFind(key);
            const bool continues = latest != byContent.cend() && latest->lastSecond == second - 1;
            if (!continues)
                batches.push_back(
                    {text(in.setup().name) + QStringLiteral(" #") + QString::number(run->number),
                     {}});
            const size_t batch = continues ? latest->batch : batches.size() - 1;
            byContent.insert(key, {batch, second});
            batches[batch].candidates.insert(name, bytes);
        }
        const qsizetype found = qsizetype(batches.size()) - first;
        if (found != log.acknowledged)
            r.problems << QStringLiteral("%1 #%2: %3 batches acknowledged but %4 expected")
                              .arg(text(in.setup().name))
                              .arg(run->number)
                              .arg(log.acknowledged)
                              .arg(found);
    }
    return batches;
}

void checkDataFiles(const SoakProgram& p, const SimInstrument& in, CheckResult& r, int& examined) {
    std::vector<ExpectedBatch> batches = expectedBatches(in, p.column(), r);
    r.batches += int(batches.size());
    const QByteArray folder = p.folder(modeFolder(in.setup()));
    for (const QByteArray& name : fileNames(folder)) {
        if (!name.startsWith(in.setup().id + " "))
            continue;
        ++examined;
        const QByteArray bytes = znr::test::readBytes(folder + name);
        int matches = 0;
        bool sameName = false;
        for (ExpectedBatch& b : batches) {
            const auto c = b.candidates.constFind(name);
            if (c == b.candidates.cend())
                continue;
            sameName = true;
            if (*c != bytes)
                continue;
            ++matches;
            if (b.matched)
                r.problems << QStringLiteral("%1: a second file %2").arg(b.where, text(name));
            b.matched = true;
        }
        if (matches == 0)
            r.problems << QStringLiteral("%1%2: %3")
                              .arg(text(folder), text(name),
                                   sameName ? QStringLiteral("damaged (not the expected bytes)")
                                            : QStringLiteral("no acknowledged batch wrote it"));
    }
    for (const ExpectedBatch& b : batches)
        if (!b.matched)
            r.problems << QStringLiteral("%1: an acknowledged batch has no data file (one of %2)")
                              .arg(b.where, text(b.candidates.keys().join(' ')));
}

// Every batch has one raw file: its frames from the IST to the end frame.
void checkRawFiles(const SoakProgram& p, const SimInstrument& in, int batches, CheckResult& r,
                   int& examined) {
    const QByteArray folder = p.folder("Raw Files");
    int files = 0;
    for (const QByteArray& name : fileNames(folder)) {
        if (!name.startsWith(in.setup().rawPrefix()))
            continue;
        ++files;
        ++examined;
        QByteArrayList lines = znr::test::readBytes(folder + name).split('\n');
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        int ists = 0, dats = 0;
        for (QByteArray& l : lines) {
            l.chop(l.endsWith('\r') ? 1 : 0);
            ists += l.startsWith("<RECIVED><SOH>1IST<STX>") ? 1 : 0;
            dats += l.startsWith("<RECIVED><SOH>1DAT<STX>") ? 1 : 0;
        }
        if (lines.isEmpty() || lines.last() != in.setup().endLine() || ists != 1 ||
            dats != in.setup().datFrames())
            r.problems << QStringLiteral("%1%2: not one whole batch (%3 IST, %4 DAT, ends %5)")
                              .arg(text(folder), text(name))
                              .arg(ists)
                              .arg(dats)
                              .arg(text(lines.value(lines.size() - 1).left(60)));
    }
    if (files != batches)
        r.problems << QStringLiteral("%1: %2 raw files for %3 acknowledged batches")
                          .arg(text(in.setup().name))
                          .arg(files)
                          .arg(batches);
}

// Expected lines: a drop and a restore per instrument killed while connected (the restore only
// once the next incarnation was greeted), a "ZNR Error" line per ERR batch, and per batch end
// refused on a full disk a failure line and a line when it was filed at last, and at most one
// low-space line per disk fill.
void checkLog(const SoakProgram& p, const std::vector<std::unique_ptr<SimInstrument>>& all,
              int errBatches, int diskFills, CheckResult& r) {
    const QString time = QStringLiteral(", \\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d\\d:\\d\\d [AP]M$");
    const QRegularExpression tcpDrop(
        QStringLiteral("^frmZNRInterface\\.ZNRSocket_Error, 10054, Connection is reset by "
                       "remote side") +
        time);
    const QRegularExpression ptyDrop(
        QStringLiteral("^frmZNRInterface\\.ZNRComm_OnComm, \\d+, Error reading comm device \\(") +
        QStringLiteral(".*\\)") + time);
    const QRegularExpression restored(
        QStringLiteral("^frmZNRInterface\\.ReconnectConnection, 0, Connection restored") + time);
    const QRegularExpression znrError(QStringLiteral("^ZNR Error, 1,E17") + time);
    const QRegularExpression diskFull(QStringLiteral("^MakeFile, 61, Disk full") + time);
    const QRegularExpression filedAtLast(
        QStringLiteral("^MakeFile, 0, Batch filed on attempt \\d+: .+") + time);
    // The warning names the folder of the batch end that found the disk full.
    const auto folder = [&](const char* sub) {
        return QRegularExpression::escape(QString::fromLocal8Bit(p.folder(sub).chopped(1)));
    };
    const QRegularExpression lowSpace(QStringLiteral("^MakeFile, 0, Low disk space: (") +
                                      folder("Data Files") + QStringLiteral("|") +
                                      folder("Check Rods") +
                                      QStringLiteral(") has \\d+ MiB free of \\d+ MiB") + time);

    int kills = 0, restores = 0;
    for (const auto& in : all)
        for (const auto& run : in->incarnations()) {
            kills += run->killed ? 1 : 0;
            // Every later incarnation greeted by the program was a connection restored.
            restores += run->number > 1 && run->log().greeted ? 1 : 0;
        }
    int drops = 0, back = 0, errors = 0, refusals = 0, filed = 0, lowSpaces = 0;
    const QByteArrayList lines = p.run().logLines();
    r.logLines += int(lines.size());
    for (const QByteArray& line : lines) {
        const QString l = text(line);
        if (tcpDrop.match(l).hasMatch() || ptyDrop.match(l).hasMatch())
            ++drops;
        else if (restored.match(l).hasMatch())
            ++back;
        else if (znrError.match(l).hasMatch())
            ++errors;
        else if (diskFull.match(l).hasMatch())
            ++refusals;
        else if (filedAtLast.match(l).hasMatch())
            ++filed;
        else if (lowSpace.match(l).hasMatch())
            ++lowSpaces;
        else
            r.problems << QStringLiteral("%1: unexpected log line: %2").arg(p.name(), l);
    }
    r.drops += kills;
    if (drops != kills || back != restores || errors != errBatches)
        r.problems << QStringLiteral("%1: log has %2 drops, %3 restores, %4 ZNR Error lines; the "
                                     "run had %5 drops, %6 returns, %7 ERR batches")
                          .arg(p.name())
                          .arg(drops)
                          .arg(back)
                          .arg(errors)
                          .arg(kills)
                          .arg(restores)
                          .arg(errBatches);
    if (refusals != r.refused || filed != r.refused || lowSpaces > diskFills)
        r.problems << QStringLiteral("%1: log has %2 batch ends refused on a full disk, %3 filed "
                                     "at last, %4 low-space lines; the simulators had %5 end "
                                     "frames refused, the run %6 disk fills")
                          .arg(p.name())
                          .arg(refusals)
                          .arg(filed)
                          .arg(lowSpaces)
                          .arg(r.refused)
                          .arg(diskFills);
}

} // namespace

bool SoakProgram::start(bool column, const QList<quint16>& tcpPorts,
                        const QMap<int, QString>& serialLinks) {
    config_.column = column;
    config_.ethernet = serialLinks.isEmpty();
    config_.checkRodsId = kCheckRodId;
    config_.company = "Soak";
    config_.reconnectSeconds = "1";
    for (quint16 port : tcpPorts)
        config_.ethernetInstruments.append({"127.0.0.1", port});
    for (auto it = serialLinks.cbegin(); it != serialLinks.cend(); ++it)
        config_.addSerial(it.key(), QFile::encodeName(it.value()));
    run_.process().setStandardOutputFile(path(QStringLiteral("announcements.txt")));
    run_.process().setStandardErrorFile(path(QStringLiteral("stderr.txt")));
    return run_.writeIni(config_) && run_.start({QStringLiteral("--headless")});
}

void SoakProgram::sample() {
    if (const qint64 rss = run_.residentKiB(); rss > 0)
        samples_.append(rss);
}

int SoakProgram::announcements() const {
    return int(znr::test::readBytes(run_.path("announcements.txt")).count('\n'));
}

QByteArray SoakProgram::errorOutput() const {
    return znr::test::readBytes(run_.path("stderr.txt"));
}

CheckResult checkInstance(const SoakProgram& program,
                          const std::vector<std::unique_ptr<SimInstrument>>& instruments,
                          int diskFills) {
    CheckResult r;
    int errBatches = 0;
    int examined = 0;
    for (const auto& in : instruments) {
        const int before = r.batches;
        checkDataFiles(program, *in, r, examined);
        checkRawFiles(program, *in, r.batches - before, r, examined);
        if (in->setup().endsWithErr)
            errBatches += r.batches - before;
    }
    // Nothing else was written into the folders (the error log aside).
    int files = 0;
    for (const char* f : {"Data Files", "Cal Check", "Check Rods", "Fast Mode", "Raw Files"})
        files += int(fileNames(program.folder(f)).size());
    if (files != examined)
        r.problems << QStringLiteral("%1: %2 files in the data and raw folders, %3 of them "
                                     "named for the instrument that writes into each folder")
                          .arg(program.name())
                          .arg(files)
                          .arg(examined);
    checkLog(program, instruments, errBatches, diskFills, r);
    if (program.announcements() != r.batches)
        r.problems << QStringLiteral("%1: %2 data files announced for %3 batches")
                          .arg(program.name())
                          .arg(program.announcements())
                          .arg(r.batches);
    return r;
}

} // namespace soak
