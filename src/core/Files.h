#pragma once

#include "core/UniqueFd.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QList>

namespace znr {

// File names are bytes: the program builds them from 8-bit folder settings and instrument
// texts, and hands them to the operating system unchanged.

// Appends lines, each followed by CR LF, to one file opened for appending (created when
// missing). Lines are written in chunks of bounded size, so a long file is never held whole in
// memory. When the disk refuses part of a write, the file is cut back to the end of its last
// complete line, so a reader never sees half a line, and a Failure is thrown with the platform
// failure number (52, 53, 61, 70, 75, 76). With `durable`, finish() flushes the data to the disk,
// and the folder entry of a file this appender created.
class LineAppender {
public:
    LineAppender(const QByteArray& path, bool durable);
    // Writes the lines not yet written when finish() was not reached, then closes.
    ~LineAppender();
    LineAppender(const LineAppender&) = delete;
    LineAppender& operator=(const LineAppender&) = delete;

    void append(const QByteArray& line);
    // Writes what is left, flushes when durable, and closes.
    void finish();

    // For a caller that flushes many files together: writes what is left and keeps the file
    // open; then flushes everything written to the file system the file is on (the data of
    // every file, and every folder entry), reporting any write failure on it since the file was
    // opened. One call serves every file of that file system opened after this one.
    void writeOut();
    void flushFileSystem();
    // The file system the file is on.
    quint64 device() const { return device_; }
    // Takes the file back to what it was before the first line: cut to its old size, or removed
    // when this appender created it. Never throws: a file that cannot be cut stays as it is.
    void cutBack() noexcept;

private:
    void writeBuffered();
    void flush();

    QByteArray path_;
    bool durable_;
    bool created_ = false;
    UniqueFd fd_;
    quint64 device_ = 0;
    qint64 start_ = 0;   // file size before the first line
    qint64 written_ = 0; // bytes of complete lines written since
    QByteArray buffer_;
    QList<qsizetype> lineEnds_; // in buffer_
};

// Appends every line followed by CR LF, as one LineAppender.
void appendLines(const QByteArray& path, const QByteArrayList& lines, bool durable = false);

bool folderExists(const QByteArray& path);

// The folder part of a path: "." for a bare name, "/" for a file in the root.
QByteArray folderOf(const QByteArray& path);

// Flushes the folder holding `path` to the disk, so that a new or renamed entry in it survives
// a power cut. Throws a Failure when the folder cannot be opened or flushed.
void syncFolderOf(const QByteArray& path);

} // namespace znr
