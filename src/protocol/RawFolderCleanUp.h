#pragma once

#include <QByteArray>
#include <QDate>
#include <functional>
#include <optional>

namespace znr {

class ErrorLog;

// Deletes the raw traffic files (names like "ID_CODE_MM-DD-YYYY-HHMMSS.dat") directly in
// `folder` whose creation date lies more than `archiveDays` calendar days before today. Other
// files are never touched; an empty folder text cleans nothing. The first failure (a read-only
// file, a missing folder) ends the call and is logged under "Module.CleanUpDirectory".
void cleanUpRawFolder(const QByteArray& folder, int archiveDays, const ErrorLog& log);

// The date a file counts from, by its path; throws a Failure when it cannot be read.
using FileDateSource = std::function<QDate(const QByteArray& path)>;

// Same, with the file dates taken from `creationDate` instead of the file system's creation
// dates (tests cannot set a creation date; they age files by their last-modified time).
void cleanUpRawFolder(const QByteArray& folder, int archiveDays, const ErrorLog& log,
                      const FileDateSource& creationDate);

// The local date a file was created: its birth time where the file system keeps one, else its
// last-modified time.
QDate fileCreationDate(const QByteArray& path);

// The pieces of a clean-up, for callers that keep track of the folder between clean-ups.

// True when a file created on `created` is past the limit on `today`.
inline bool isAgedOut(const QDate& created, const QDate& today, int archiveDays) {
    return created.daysTo(today) > archiveDays;
}

// `folder` with the separator that file names are appended after.
QByteArray folderPrefix(const QByteArray& folder);

// One full pass of the clean-up over `folder` for `today`: deletes the aged-out raw traffic
// files in listing order and throws at the first failure. Returns the earliest creation date
// among the raw traffic files it kept, none when it kept none.
std::optional<QDate> sweepRawFolder(const QByteArray& folder, int archiveDays, const QDate& today,
                                    const FileDateSource& creationDate);

// Deletes the file at `path` as the clean-up does; throws a Failure when it cannot.
void deleteRawFile(const QByteArray& path);

// True for names of the form "<anything>_<anything>_MM-DD-YYYY-HHMMSS.dat", digits checked.
bool isRawTrafficFileName(const QByteArray& name);

} // namespace znr
