#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QDate>
#include <optional>
#include <sys/types.h>

namespace znr {

class ErrorLog;

// The clean-up of the raw-file folder after each export, with the effect of cleanUpRawFolder() but
// without reading every file of the folder every time (the folder keeps weeks of files, and the
// clean-up runs at every batch end, while every instrument waits).
//
// A full pass deletes what has aged out and notes the earliest creation date among the files it
// kept. Before it, the folder is put under an inotify watch; later clean-ups of the same folder
// with the same limit then look only at the entries that arrived or changed since, for as long
// as none of the kept files can have aged out. A full pass runs again when that day comes, when
// the folder or the limit changed, when the watch lost track (overflow, the folder moved or
// removed), and after any failure, so a failure is logged on every clean-up until it is mended.
// Folders on network and unknown file systems, where a watch does not see every change, always
// get the full pass.
class RawFolderSweep {
public:
    RawFolderSweep() = default;
    ~RawFolderSweep();
    RawFolderSweep(const RawFolderSweep&) = delete;
    RawFolderSweep& operator=(const RawFolderSweep&) = delete;

    // Deletes the raw traffic files in `folder` created more than `archiveDays` calendar days
    // before today (the log's clock), as cleanUpRawFolder() does; failures are logged under
    // "Module.CleanUpDirectory".
    void cleanUp(const QByteArray& folder, int archiveDays, const ErrorLog& log);

    // Full passes made so far.
    int fullPasses() const { return fullPasses_; }

private:
    struct Arrivals {
        QByteArrayList names;
        bool lostTrack = false;
    };

    bool watchCovers(const QByteArray& folder, int archiveDays, const QDate& today) const;
    void fullPass(const QByteArray& folder, int archiveDays, const QDate& today);
    void watchedPass(const QByteArray& folder, int archiveDays, const QDate& today,
                     const QByteArrayList& names);
    void watch(const QByteArray& folder);
    void unwatch();
    Arrivals readArrivals();
    void keep(const QDate& created, int archiveDays);

    int inotify_ = -1;
    int watch_ = -1;
    dev_t device_ = 0; // the watched folder, to notice when the folder text names another one
    ino_t inode_ = 0;
    QByteArray folder_;
    int archiveDays_ = 0;
    std::optional<QDate> nextDue_; // first day a kept file can age out; none while none is kept
    bool trusted_ = false; // the last pass succeeded and the watch has seen everything since
    int fullPasses_ = 0;
};

} // namespace znr
