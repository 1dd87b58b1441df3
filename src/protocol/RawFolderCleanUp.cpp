#include "protocol/RawFolderCleanUp.h"

#include "core/Clock.h"
#include "core/ErrorLog.h"
#include "core/LogNames.h"

#include <QByteArrayList>
#include <QDateTime>
#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace znr {

namespace {

class Dir {
public:
    explicit Dir(const QByteArray& path) : dir_(::opendir(path.constData())) {
        if (dir_ == nullptr)
            throw Failure::fromErrno(errno);
    }
    ~Dir() { ::closedir(dir_); }
    Dir(const Dir&) = delete;
    Dir& operator=(const Dir&) = delete;

    int fd() const { return ::dirfd(dir_); }

    // The names of the regular files shaped like raw traffic file names, in the order the file
    // system lists them. The name is checked first: only those files cost a look at the inode,
    // and none when the directory entry already tells the type.
    QByteArrayList rawFileNames() const {
        QByteArrayList names;
        errno = 0;
        while (const dirent* e = ::readdir(dir_)) {
            const QByteArray name(e->d_name);
            if (isRawTrafficFileName(name) && isRegularFile(*e))
                names.append(name);
            errno = 0;
        }
        if (errno != 0)
            throw Failure::fromErrno(errno);
        return names;
    }

private:
    bool isRegularFile(const dirent& e) const {
        if (e.d_type != DT_UNKNOWN)
            return e.d_type == DT_REG;
        struct stat st {};
        return ::fstatat(fd(), e.d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
    }

    DIR* dir_;
};

bool digitsAt(const QByteArray& s, qsizetype from, qsizetype count) {
    for (qsizetype i = from; i < from + count; ++i)
        if (s[i] < '0' || s[i] > '9')
            return false;
    return true;
}

} // namespace

bool isRawTrafficFileName(const QByteArray& name) {
    // "_MM-DD-YYYY-HHMMSS.dat" is 22 characters; before it stands "<ID>_<CODE>".
    constexpr qsizetype Tail = 22;
    if (name.size() < Tail + 1 || !name.endsWith(".dat"))
        return false;
    const qsizetype t = name.size() - Tail;
    const QByteArray tail = name.mid(t);
    const bool stampShape = tail[0] == '_' && tail[3] == '-' && tail[6] == '-' && tail[11] == '-' &&
                            digitsAt(tail, 1, 2) && digitsAt(tail, 4, 2) && digitsAt(tail, 7, 4) &&
                            digitsAt(tail, 12, 6);
    return stampShape && name.left(t).contains('_');
}

QDate fileCreationDate(const QByteArray& path) {
    struct statx stx {};
    if (::statx(AT_FDCWD, path.constData(), AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_MTIME, &stx) !=
        0)
        throw Failure::fromErrno(errno);
    const statx_timestamp& t = (stx.stx_mask & STATX_BTIME) ? stx.stx_btime : stx.stx_mtime;
    // The C library's local date, without the time-zone file check a local QDateTime makes on
    // every conversion (one stat per file of the folder).
    const time_t seconds = time_t(t.tv_sec);
    struct tm local {};
    if (::localtime_r(&seconds, &local) == nullptr)
        throw Failure::overflow();
    return QDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

void cleanUpRawFolder(const QByteArray& folder, int archiveDays, const ErrorLog& log) {
    cleanUpRawFolder(folder, archiveDays, log, fileCreationDate);
}

QByteArray folderPrefix(const QByteArray& folder) {
    return folder.endsWith('/') ? folder : folder + '/';
}

// Deletes one file the way a user would: a file nobody may write to is refused, even for root.
void deleteRawFile(const QByteArray& path) {
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0)
        throw Failure::fromErrno(errno);
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        throw Failure(FailureNo::PermissionDenied, "Permission denied");
    if (::unlink(path.constData()) != 0)
        throw Failure::fromErrno(errno);
}

std::optional<QDate> sweepRawFolder(const QByteArray& folder, int archiveDays, const QDate& today,
                                    const FileDateSource& creationDate) {
    const Dir dir(folder);
    const QByteArray prefix = folderPrefix(folder);
    std::optional<QDate> oldestKept;
    for (const QByteArray& name : dir.rawFileNames()) {
        const QDate created = creationDate(prefix + name);
        if (isAgedOut(created, today, archiveDays))
            deleteRawFile(prefix + name);
        else if (!oldestKept || created < *oldestKept)
            oldestKept = created;
    }
    return oldestKept;
}

void cleanUpRawFolder(const QByteArray& folder, int archiveDays, const ErrorLog& log,
                      const FileDateSource& creationDate) {
    guarded(log, logname::CleanUpFolder, [&] {
        if (!folder.isEmpty())
            sweepRawFolder(folder, archiveDays, log.clock().now().date(), creationDate);
    });
}

} // namespace znr
