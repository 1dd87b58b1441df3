#include "config/IniFile.h"

#include "config/IniText.h"
#include "core/ErrorLog.h"
#include "core/Files.h"
#include "core/LogNames.h"
#include "core/UniqueFd.h"

#include <QFile>
#include <QRandomGenerator>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace znr {

namespace {

[[noreturn]] void failWithErrno() {
    throw Failure::fromErrno(errno);
}

// The file a write must replace: a symbolic link is followed, so the link itself stays.
QByteArray targetOf(const QByteArray& path) {
    char resolved[PATH_MAX];
    struct stat st {};
    if (::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode) &&
        ::realpath(path.constData(), resolved))
        return QByteArray(resolved);
    return path;
}

// The whole file, or nothing when it does not exist. Anything but a plain file is refused, so
// that neither a reader nor a writer blocks on a device or replaces it.
std::optional<QByteArray> readExisting(const QByteArray& path, struct stat& st) {
    if (path.isEmpty() || path.contains('\0'))
        throw Failure(FailureNo::BadFileName, "Bad file name or number");
    if (::stat(path.constData(), &st) != 0) {
        if (errno == ENOENT)
            return std::nullopt;
        failWithErrno();
    }
    if (!S_ISREG(st.st_mode))
        throw Failure(FailureNo::PathFileAccess, "Path/File access error");
    UniqueFd fd(::open(path.constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        failWithErrno();
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            failWithErrno();
        if (n == 0)
            return bytes;
        bytes.append(buffer, n);
    }
}

void writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            failWithErrno();
        if (n == 0)
            throw Failure::fromErrno(ENOSPC);
        done += n;
    }
}

// Creates a fresh temporary file beside `path`; its name goes to `tmpPath`.
UniqueFd createTemporary(const QByteArray& path, QByteArray& tmpPath) {
    for (int attempt = 0;; ++attempt) {
        const quint32 r = QRandomGenerator::global()->generate();
        tmpPath = folderOf(path) + "/.znr" + QByteArray::number(r, 16) + ".tmp";
        const int fd = ::open(tmpPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return UniqueFd(fd);
        if (errno != EEXIST || attempt == 20)
            failWithErrno();
    }
}

// Writes `bytes` to a temporary file in the same folder, makes it durable and renames it over
// `path`: a reader sees either the old file or the new one, never a part.
void replaceFile(const QByteArray& path, const QByteArray& bytes, std::optional<mode_t> mode) {
    QByteArray tmpPath;
    UniqueFd fd = createTemporary(path, tmpPath);
    try {
        writeAll(fd.get(), bytes);
        if (mode && ::fchmod(fd.get(), *mode) != 0)
            failWithErrno();
        if (::fsync(fd.get()) != 0 || ::close(fd.release()) != 0)
            failWithErrno();
        if (::rename(tmpPath.constData(), path.constData()) != 0)
            failWithErrno();
    } catch (...) {
        ::unlink(tmpPath.constData());
        throw;
    }
    // Makes the rename itself durable; the new contents are already safe either way.
    try {
        syncFolderOf(path);
    } catch (const Failure&) {
    }
}

// Makes the open file hold exactly `bytes`, from its start.
void overwrite(int fd, const QByteArray& bytes) {
    if (::lseek(fd, 0, SEEK_SET) != 0)
        failWithErrno();
    writeAll(fd, bytes);
    if (::ftruncate(fd, off_t(bytes.size())) != 0)
        failWithErrno();
}

// For a file whose folder takes no new entries: rewrites the file through its own entry. The
// space is claimed before the first byte changes, and a write that fails all the same puts the
// old bytes back, so the file is left either new or as it was.
void rewriteInPlace(const QByteArray& path, const QByteArray& bytes, const QByteArray& old) {
    UniqueFd fd(::open(path.constData(), O_WRONLY | O_CLOEXEC));
    if (!fd.valid())
        failWithErrno();
    try {
        if (bytes.size() > old.size())
            if (const int err = ::posix_fallocate(fd.get(), 0, off_t(bytes.size())); err != 0)
                throw Failure::fromErrno(err);
        overwrite(fd.get(), bytes);
        if (::fsync(fd.get()) != 0)
            failWithErrno();
    } catch (const Failure&) {
        try {
            overwrite(fd.get(), old);
        } catch (const Failure&) {
        }
        throw;
    }
    fd.close();
}

// Replaces the file atomically; where that is not permitted but the file itself may be written
// (a protected folder with the file opened to its users), rewrites it in place.
void storeFile(const QByteArray& path, const QByteArray& bytes,
               const std::optional<QByteArray>& old, mode_t oldMode) {
    try {
        replaceFile(path, bytes, old ? std::optional<mode_t>(oldMode & 07777) : std::nullopt);
    } catch (const Failure& f) {
        if (!old || f.number() != FailureNo::PermissionDenied)
            throw;
        rewriteInPlace(path, bytes, *old);
    }
}

} // namespace

IniText readIniText(const QString& file) noexcept {
    try {
        struct stat st {};
        return IniText(readExisting(QFile::encodeName(file), st).value_or(QByteArray()));
    } catch (...) {
        return IniText();
    }
}

QByteArray readIniValue(const QByteArray& section, const QByteArray& key, const QString& file) {
    try {
        return readIniText(file).value(section, key).value_or(QByteArray());
    } catch (...) {
        return {};
    }
}

bool IniFileReader::Version::operator==(const Version& o) const {
    auto same = [](const timespec& a, const timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    };
    return device == o.device && inode == o.inode && size == o.size && same(modified, o.modified) &&
           same(changed, o.changed);
}

namespace {

// File time stamps advance in clock ticks (a few milliseconds): a stamp this much older than
// the moment the file was read proves that a later rewrite gets a different stamp.
constexpr qint64 StampMarginNs = 100'000'000;

qint64 nanoseconds(const timespec& t) {
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

} // namespace

QByteArray IniFileReader::read(const QByteArray& section, const QByteArray& key) {
    try {
        const QByteArray path = QFile::encodeName(file_);
        timespec readAt{};
        ::clock_gettime(CLOCK_REALTIME, &readAt);
        struct stat st {};
        if (path.isEmpty() || path.contains('\0') || ::stat(path.constData(), &st) != 0) {
            text_.reset();
            return readIniValue(section, key, file_);
        }
        const Version now{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
        if (!text_ || !(now == version_)) {
            const std::optional<QByteArray> bytes = readExisting(path, st);
            text_ = IniText(bytes.value_or(QByteArray()));
            version_ = {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
        }
        const std::optional<QByteArray> value = text_->value(section, key);
        // A file changed this recently may change again without its stamp showing it.
        if (nanoseconds(readAt) - nanoseconds(version_.changed) < StampMarginNs ||
            nanoseconds(readAt) - nanoseconds(version_.modified) < StampMarginNs)
            text_.reset();
        return value.value_or(QByteArray());
    } catch (...) {
        text_.reset();
        return {};
    }
}

int writeIniValue(const QByteArray& section, const QByteArray& key, const QByteArray& value,
                  const QString& file, const ErrorLog& log) {
    const bool ok = guarded(log, logname::WriteIni, [&] {
        if (!IniText::isWritable(section, key, value))
            throw Failure::invalidArgument();
        const QByteArray path = targetOf(QFile::encodeName(file));
        struct stat st {};
        const std::optional<QByteArray> old = readExisting(path, st);
        IniText text(old.value_or(QByteArray()));
        text.set(section, key, value);
        storeFile(path, text.bytes(), old, st.st_mode);
    });
    return ok ? 1 : 0;
}

} // namespace znr
