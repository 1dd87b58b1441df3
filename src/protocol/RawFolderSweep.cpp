#include "protocol/RawFolderSweep.h"

#include "core/Clock.h"
#include "core/ErrorLog.h"
#include "core/LogNames.h"
#include "protocol/RawFolderCleanUp.h"

#include <cerrno>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace znr {

namespace {

constexpr uint32_t WatchMask =
    IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// Local file systems, where an inotify watch sees every change to the folder.
bool watchSeesEverything(const QByteArray& folder) {
    struct statfs fs {};
    if (::statfs(folder.constData(), &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0xEF53:     // ext2, ext3, ext4
    case 0x58465342: // xfs
    case 0x9123683E: // btrfs
    case 0x01021994: // tmpfs
    case 0xF2F52010: // f2fs
    case 0x2FC12FC1: // zfs
    case 0x794C7630: // overlayfs (containers), for changes made through the overlay
        return true;
    default:
        return false;
    }
}

bool sameFolder(const QByteArray& folder, dev_t device, ino_t inode) {
    struct stat st {};
    return ::stat(folder.constData(), &st) == 0 && st.st_dev == device && st.st_ino == inode;
}

} // namespace

RawFolderSweep::~RawFolderSweep() {
    if (inotify_ >= 0)
        ::close(inotify_);
}

void RawFolderSweep::cleanUp(const QByteArray& folder, int archiveDays, const ErrorLog& log) {
    guarded(log, logname::CleanUpFolder, [&] {
        if (folder.isEmpty())
            return;
        const QDate today = log.clock().now().date();
        const bool covered = watchCovers(folder, archiveDays, today);
        trusted_ = false; // until this pass has succeeded
        if (covered) {
            const Arrivals arrivals = readArrivals();
            if (!arrivals.lostTrack) {
                watchedPass(folder, archiveDays, today, arrivals.names);
                trusted_ = true;
                return;
            }
        }
        fullPass(folder, archiveDays, today);
    });
}

bool RawFolderSweep::watchCovers(const QByteArray& folder, int archiveDays,
                                 const QDate& today) const {
    return trusted_ && watch_ >= 0 && folder == folder_ && archiveDays == archiveDays_ &&
           (!nextDue_ || today < *nextDue_) && sameFolder(folder, device_, inode_);
}

void RawFolderSweep::fullPass(const QByteArray& folder, int archiveDays, const QDate& today) {
    ++fullPasses_;
    // Watched before it is listed: nothing that arrives during the listing goes unseen.
    watch(folder);
    readArrivals(); // all covered by the listing below
    folder_ = folder;
    archiveDays_ = archiveDays;
    nextDue_.reset();
    if (const std::optional<QDate> oldest =
            sweepRawFolder(folder, archiveDays, today, fileCreationDate))
        keep(*oldest, archiveDays);
    trusted_ = watch_ >= 0;
}

void RawFolderSweep::watchedPass(const QByteArray& folder, int archiveDays, const QDate& today,
                                 const QByteArrayList& names) {
    const QByteArray prefix = folderPrefix(folder);
    for (const QByteArray& name : names) {
        if (!isRawTrafficFileName(name))
            continue;
        const QByteArray path = prefix + name;
        struct stat st {};
        if (::lstat(path.constData(), &st) != 0) {
            if (errno == ENOENT)
                continue; // came and went
            throw Failure::fromErrno(errno);
        }
        if (!S_ISREG(st.st_mode))
            continue;
        const QDate created = fileCreationDate(path);
        if (isAgedOut(created, today, archiveDays))
            deleteRawFile(path);
        else
            keep(created, archiveDays);
    }
}

void RawFolderSweep::keep(const QDate& created, int archiveDays) {
    const QDate due = created.addDays(qint64(archiveDays) + 1);
    if (!nextDue_ || due < *nextDue_)
        nextDue_ = due;
}

void RawFolderSweep::watch(const QByteArray& folder) {
    struct stat st {};
    if (watch_ >= 0 && folder == folder_ && sameFolder(folder, device_, inode_))
        return;
    unwatch();
    if (!watchSeesEverything(folder) || ::stat(folder.constData(), &st) != 0)
        return;
    if (inotify_ < 0)
        inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotify_ < 0)
        return;
    watch_ = ::inotify_add_watch(inotify_, folder.constData(), WatchMask);
    device_ = st.st_dev;
    inode_ = st.st_ino;
}

void RawFolderSweep::unwatch() {
    if (watch_ >= 0)
        ::inotify_rm_watch(inotify_, watch_);
    watch_ = -1;
    readArrivals(); // the events of the old folder
}

RawFolderSweep::Arrivals RawFolderSweep::readArrivals() {
    Arrivals a;
    if (inotify_ < 0)
        return a;
    alignas(inotify_event) char buf[16384];
    for (;;) {
        const ssize_t n = ::read(inotify_, buf, sizeof buf);
        if (n <= 0)
            break;
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
            at += ssize_t(sizeof(inotify_event) + e->len);
            if (e->mask & IN_Q_OVERFLOW)
                a.lostTrack = true;
            else if (e->wd != watch_)
                continue; // left over from a folder watched before
            else if (e->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT))
                a.lostTrack = true;
            else if (e->len > 0) {
                const QByteArray name(e->name); // NUL-padded
                if (!a.names.contains(name))
                    a.names.append(name);
            }
        }
    }
    if (a.lostTrack) {
        if (watch_ >= 0)
            ::inotify_rm_watch(inotify_, watch_);
        watch_ = -1;
    }
    return a;
}

} // namespace znr
