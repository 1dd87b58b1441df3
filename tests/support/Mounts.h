#pragma once

#include <QByteArray>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/mount.h>
#include <unistd.h>

namespace znr::test {

// A folder of a test bound read-only over itself, or a full file system over it, undone when
// this goes out of scope (or by unmount()). Needs the right to mount (root); without it the
// makers return nullptr and `why` says so.
class ScopedMount {
public:
    // `folder` bound read-only over itself: its files stay readable, every write gives EROFS.
    static std::unique_ptr<ScopedMount> readOnly(const QByteArray& folder, QByteArray* why) {
        const char* path = folder.constData();
        std::unique_ptr<ScopedMount> bound;
        if (::mount(path, path, nullptr, MS_BIND, nullptr) == 0) {
            bound.reset(new ScopedMount(folder));
            if (::mount(nullptr, path, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0)
                return bound;
        }
        *why = "mount --bind -o ro " + folder + ": " + std::strerror(errno);
        return nullptr; // `bound` undoes a bind that could not be made read-only
    }

    // A 64 KiB tmpfs over `folder` (hiding its files), filled up by the file `ballast` in it:
    // every write of data gives ENOSPC until `ballast` is removed.
    static std::unique_ptr<ScopedMount> fullTmpfs(const QByteArray& folder,
                                                  const QByteArray& ballast, QByteArray* why) {
        if (::mount("tmpfs", folder.constData(), "tmpfs", 0, "size=64k") != 0) {
            *why = "mount -t tmpfs " + folder + ": " + std::strerror(errno);
            return nullptr;
        }
        std::unique_ptr<ScopedMount> mounted(new ScopedMount(folder));
        const int fd = ::open(ballast.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const QByteArray block(4096, '.');
        while (fd >= 0 && ::write(fd, block.constData(), size_t(block.size())) > 0) {
        }
        ::close(fd);
        return mounted;
    }

    ~ScopedMount() { unmount(); }
    ScopedMount(const ScopedMount&) = delete;
    ScopedMount& operator=(const ScopedMount&) = delete;

    bool unmount() {
        mounted_ = mounted_ && ::umount2(folder_.constData(), MNT_DETACH) != 0;
        return !mounted_;
    }

private:
    explicit ScopedMount(QByteArray folder) : folder_(std::move(folder)) {}

    QByteArray folder_;
    bool mounted_ = true;
};

} // namespace znr::test
