#include "protocol/BatchCommit.h"

#include "core/Files.h"
#include "protocol/DataFile.h"

#include <map>
#include <memory>
#include <sys/statvfs.h>
#include <vector>

namespace znr {

namespace {

// One file of a commit while its group is written.
struct PendingFile {
    BatchCommit* commit;
    bool raw; // the raw file; else the data file
    std::unique_ptr<LineAppender> out;
    std::optional<FiledBatchBuilder> kept; // the data file's lines, as written
    qsizetype rawLinesAfter = 0;           // the raw record's lines on disk once this is

    std::optional<Failure>& failure() const {
        return raw ? commit->rawFailure : commit->dataFailure;
    }
    bool live() const { return out != nullptr; }
};

void writeRaw(PendingFile& f) {
    const RawTrafficRecord& record = f.commit->batch.raw;
    f.out = std::make_unique<LineAppender>(f.commit->rawPath, false); // flushed with the group
    for (qsizetype k = f.commit->batch.filing.rawLinesOnDisk; k < record.lines.size(); ++k)
        f.out->append(record.lines[k]);
    f.rawLinesAfter = record.lines.size();
    f.out->writeOut();
}

void writeData(PendingFile& f) {
    const Batch& batch = f.commit->batch;
    f.kept.emplace(splitCodes(batch.codeList), batch.rowCount, f.commit->columnLayout);
    f.out = std::make_unique<LineAppender>(f.commit->dataPath, false); // flushed with the group
    writeDataFileLines(
        [&f](const QByteArray& line) {
            f.out->append(line);
            f.kept->addLine(line);
        },
        batch, f.commit->columnLayout, f.commit->endedAt);
    f.out->writeOut();
}

// Writes one file; a failure is recorded and the file cut back at once, so that a later
// commit of the group appending to it starts from where this one started.
void write(PendingFile& f) {
    try {
        f.raw ? writeRaw(f) : writeData(f);
    } catch (const Failure& e) {
        f.failure() = e;
    } catch (const std::bad_alloc&) {
        f.failure() = Failure(FailureNo::OutOfMemory, "Out of memory");
    }
    if (f.failure() && f.out) {
        f.out->cutBack();
        f.out.reset();
    }
}

// One flush per file system, through the file of it opened first: it covers every file of the
// group there, and the folder entries of the new ones, and reports any write failure on that
// file system since then.
void flushAll(std::vector<PendingFile>& files) {
    std::map<quint64, size_t> firstOnDevice;
    for (size_t k = 0; k < files.size(); ++k)
        if (files[k].live())
            firstOnDevice.try_emplace(files[k].out->device(), k);
    for (const auto& [device, first] : firstOnDevice) {
        try {
            files[first].out->flushFileSystem();
        } catch (const Failure& e) {
            for (size_t k = first; k < files.size(); ++k)
                if (files[k].live() && files[k].out->device() == device && !files[k].failure())
                    files[k].failure() = e;
        }
    }
}

// Failed files are cut back, the last written first, so that each cut returns its file to
// exactly what it was before that write.
void settle(std::vector<PendingFile>& files) {
    for (auto f = files.rbegin(); f != files.rend(); ++f) {
        if (!f->live())
            continue;
        if (f->failure())
            f->out->cutBack();
        f->out.reset(); // closes
    }
}

void recordOnDisk(PendingFile& f) {
    BatchCommit& c = *f.commit;
    if (f.failure())
        return;
    if (f.raw) {
        c.batch.filing.rawPath = c.rawPath;
        c.batch.filing.rawLinesOnDisk = f.rawLinesAfter;
        return;
    }
    auto snapshot = std::make_shared<FiledBatch>(f.kept->take());
    snapshot->instrumentId = c.batch.instrumentId;
    snapshot->mode = c.batch.mode;
    snapshot->batchCode = c.batch.batchCode;
    snapshot->errorText = c.batch.errorText;
    snapshot->filedAt = c.endedAt;
    snapshot->path = c.dataPath;
    c.batch.filing.data = std::move(snapshot);
}

// The free space of each data folder's file system, measured once per folder and group.
void measureSpace(std::span<BatchCommit* const> group) {
    std::map<QByteArray, std::optional<struct statvfs>> folders;
    for (BatchCommit* c : group) {
        if (c->dataPath.isEmpty())
            continue;
        const QByteArray folder = folderOf(c->dataPath);
        auto [it, added] = folders.try_emplace(folder);
        if (added) {
            struct statvfs fs {};
            if (::statvfs(folder.constData(), &fs) == 0)
                it->second = fs;
        }
        if (const std::optional<struct statvfs>& fs = it->second) {
            c->freeBytes = quint64(fs->f_bavail) * fs->f_frsize;
            c->totalBytes = quint64(fs->f_blocks) * fs->f_frsize;
        }
    }
}

} // namespace

void writeCommits(std::span<BatchCommit* const> group) {
    std::vector<PendingFile> files;
    files.reserve(group.size() * 2);
    for (BatchCommit* c : group) {
        ++c->batch.filing.attempts;
        if (!c->rawPath.isEmpty())
            write(files.emplace_back(PendingFile{c, true, {}, {}, 0}));
        if (!c->dataPath.isEmpty())
            write(files.emplace_back(PendingFile{c, false, {}, {}, 0}));
    }
    flushAll(files);
    settle(files);
    for (PendingFile& f : files)
        recordOnDisk(f);
    measureSpace(group);
}

} // namespace znr
