#pragma once

#include "core/Failure.h"
#include "protocol/Batch.h"

#include <QByteArray>
#include <QDateTime>
#include <optional>
#include <span>

namespace znr {

// A batch end on its way to disk: the ended batch, moved out of its connection, and where its
// files go. The event thread fills in the paths; writeCommits() writes the files (on any
// thread) and fills in what happened; the event thread then answers the instrument.
struct BatchCommit {
    int index = 0;      // the connection
    quint64 ticket = 0; // which hold of the connection this answers
    Batch batch;
    QDateTime endedAt; // the batch end: the stamp of the file names and of line 1
    bool columnLayout = true;
    // The data file to append the batch to; empty when the batch has none, or an earlier
    // attempt already put it on disk.
    QByteArray dataPath;
    // The raw file to append the raw record's lines to, from batch.filing.rawLinesOnDisk on;
    // empty when the traffic is not archived.
    QByteArray rawPath;

    std::optional<Failure> rawFailure;
    std::optional<Failure> dataFailure;
    // Free space of the data file's file system after the write; absent when not known.
    std::optional<quint64> freeBytes;
    std::optional<quint64> totalBytes;

    bool succeeded() const { return !rawFailure && !dataFailure; }
};

// Writes the files of every commit in `group`, in order, then flushes them together: one
// flush per file system for all the group's files on it, their folder entries included. A file
// that could not be written or flushed is cut back to what it was before the commit (removed
// when the commit created it), so a retry never repeats a line; a flush that fails fails every
// file of the group on that file system. On success the batch's filing records what is on disk.
void writeCommits(std::span<BatchCommit* const> group);

} // namespace znr
