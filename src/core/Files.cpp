#include "core/Files.h"

#include "core/Failure.h"
#include "core/UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace znr {

Failure Failure::fromErrno(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return {FailureNo::PathNotFound, "Path not found"};
    case EACCES:
    case EPERM:
    case EROFS:
        return {FailureNo::PermissionDenied, "Permission denied"};
    case ENOSPC:
    case EDQUOT:
        return {FailureNo::DiskFull, "Disk full"};
    case ENAMETOOLONG:
    case EINVAL:
        return {FailureNo::BadFileName, "Bad file name or number"};
    case EISDIR:
    case EEXIST:
    case EBUSY:
    case ETXTBSY:
        return {FailureNo::PathFileAccess, "Path/File access error"};
    case ENOMEM:
        return {FailureNo::OutOfMemory, "Out of memory"};
    default:
        return {FailureNo::DeviceIo, "Device I/O error"};
    }
}

namespace {

// Opens for appending; `created` tells whether this call made the file.
UniqueFd openForAppend(const QByteArray& path, bool& created) {
    if (path.isEmpty() || path.contains('\0'))
        throw Failure(FailureNo::BadFileName, "Bad file name or number");
    constexpr int flags = O_WRONLY | O_APPEND | O_CLOEXEC;
    int fd;
    do {
        fd = ::open(path.constData(), flags | O_CREAT | O_EXCL, 0644);
    } while (fd < 0 && errno == EINTR);
    created = fd >= 0;
    if (fd < 0 && errno == EEXIST) {
        do {
            fd = ::open(path.constData(), flags | O_CREAT, 0644);
        } while (fd < 0 && errno == EINTR);
    }
    if (fd < 0)
        throw Failure::fromErrno(errno);
    return UniqueFd(fd);
}

} // namespace

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

void syncFolderOf(const QByteArray& path) {
    const QByteArray folder = folderOf(path);
    int fd;
    do {
        fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        throw Failure::fromErrno(errno);
    UniqueFd dir(fd);
    if (::fsync(dir.get()) != 0 && errno != EINVAL)
        throw Failure::fromErrno(errno);
    dir.close();
}

namespace {

// Writes all of `bytes`; returns how many were written before a failure (errno set) or the size.
qsizetype writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return done;
        }
        if (n == 0) {
            errno = ENOSPC;
            return done;
        }
        done += n;
    }
    return done;
}

// Lines are written once this many bytes of them are waiting.
constexpr qsizetype ChunkBytes = 64 * 1024;

} // namespace

LineAppender::LineAppender(const QByteArray& path, bool durable)
    : path_(path), durable_(durable), fd_(openForAppend(path, created_)) {
    struct stat before {};
    if (::fstat(fd_.get(), &before) != 0)
        throw Failure::fromErrno(errno);
    start_ = before.st_size;
    device_ = quint64(before.st_dev);
    buffer_.reserve(ChunkBytes);
}

LineAppender::~LineAppender() {
    if (!fd_.valid())
        return;
    try {
        writeBuffered();
    } catch (const Failure&) {
        // The failure of the caller's own step is what gets reported.
    }
}

void LineAppender::append(const QByteArray& line) {
    buffer_ += line;
    buffer_ += "\r\n";
    lineEnds_.append(buffer_.size());
    if (buffer_.size() >= ChunkBytes)
        writeBuffered();
}

void LineAppender::writeBuffered() {
    const qsizetype done = writeAll(fd_.get(), buffer_);
    if (done < buffer_.size()) {
        const int err = errno;
        qsizetype keep = 0;
        for (qsizetype end : lineEnds_)
            if (end <= done)
                keep = end;
        if (::ftruncate(fd_.get(), start_ + written_ + keep) != 0) {
            // Nothing more can be done: the failure of the write is what gets reported.
        }
        buffer_.clear();
        lineEnds_.clear();
        fd_ = UniqueFd();
        throw Failure::fromErrno(err);
    }
    written_ += done;
    buffer_.clear();
    lineEnds_.clear();
}

void LineAppender::finish() {
    writeBuffered();
    if (durable_)
        flush();
    fd_.close();
    if (durable_ && created_)
        syncFolderOf(path_);
}

void LineAppender::writeOut() {
    if (!fd_.valid())
        throw Failure(FailureNo::BadFileName, "Bad file name or number");
    writeBuffered();
}

void LineAppender::flushFileSystem() {
    if (::syncfs(fd_.get()) != 0)
        throw Failure::fromErrno(errno);
}

void LineAppender::flush() {
    if (::fdatasync(fd_.get()) != 0 && errno != EINVAL)
        throw Failure::fromErrno(errno);
}

void LineAppender::cutBack() noexcept {
    fd_ = UniqueFd();
    buffer_.clear();
    lineEnds_.clear();
    if (created_)
        ::unlink(path_.constData());
    else if (::truncate(path_.constData(), start_) != 0) {
        // The failure that made the caller cut back is what gets reported.
    }
    written_ = 0;
}

void appendLines(const QByteArray& path, const QByteArrayList& lines, bool durable) {
    LineAppender out(path, durable);
    for (const QByteArray& line : lines)
        out.append(line);
    out.finish();
}

bool folderExists(const QByteArray& path) {
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace znr
