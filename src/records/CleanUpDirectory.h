#pragma once

#include <QByteArray>
#include <QDate>
#include <functional>

namespace znr {

class ErrorLog;

// Deletes the raw traffic files (names like "ID_CODE_MM-DD-YYYY-HHMMSS.dat") directly in
// `folder` whose creation date lies more than `archiveDays` calendar days before today. Other
// files are never touched; an empty folder text cleans nothing. The first failure (a read-only
// file, a missing folder) ends the call and is logged under "Module.CleanUpDirectory".
void CleanUpDirectory(const QByteArray& folder, int archiveDays, const ErrorLog& log);

// The date a file counts from, by its path; throws a Failure when it cannot be read.
using FileDateSource = std::function<QDate(const QByteArray& path)>;

// Same, with the file dates taken from `creationDate` instead of the file system's creation
// dates (tests cannot set a creation date; they age files by their last-modified time).
void CleanUpDirectory(const QByteArray& folder, int archiveDays, const ErrorLog& log,
                      const FileDateSource& creationDate);

// The local date a file was created: its birth time where the file system keeps one, else its
// last-modified time.
QDate fileCreationDate(const QByteArray& path);

// True for names of the form "<anything>_<anything>_MM-DD-YYYY-HHMMSS.dat", digits checked.
bool isRawTrafficFileName(const QByteArray& name);

} // namespace znr
