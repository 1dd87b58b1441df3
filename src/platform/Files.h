#pragma once

#include <QByteArray>
#include <QByteArrayList>

namespace znr {

// File names are bytes: the program builds them from 8-bit folder settings and instrument
// texts, and hands them to the operating system unchanged.

// Opens `path` for appending (creating it when missing), writes every line followed by CR LF,
// and closes it. When the disk refuses part of the write, the file is cut back to the end of
// the last complete line, so a reader never sees half a line; then a Failure is thrown with
// the platform failure number (52, 53, 61, 70, 75, 76). When `durable` is set, the data is
// flushed to the disk before returning, and so is the folder entry of a file this call created.
void appendLines(const QByteArray& path, const QByteArrayList& lines, bool durable = false);

// Same for raw bytes already holding their line ends.
void appendBytes(const QByteArray& path, const QByteArray& bytes, bool durable = false);

bool folderExists(const QByteArray& path);

// The folder part of a path: "." for a bare name, "/" for a file in the root.
QByteArray folderOf(const QByteArray& path);

// Flushes the folder holding `path` to the disk, so that a new or renamed entry in it survives
// a power cut. Throws a Failure when the folder cannot be opened or flushed.
void syncFolderOf(const QByteArray& path);

} // namespace znr
