#pragma once

#include <QByteArray>
#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/mount.h>

namespace znr::test {

// A mount made by a test over one of its own folders, undone when it goes out of scope (or by
// unmount()). Needs the right to mount (root); without it the makers return nullptr and `why`
// says so.
class ScopedMount {
public:
    // A small tmpfs of `size` (e.g. "64k") over `folder`: writing past it gives ENOSPC.
    static std::unique_ptr<ScopedMount> tmpfs(const QByteArray& folder, const char* size,
                                              QByteArray* why) {
        const QByteArray options = QByteArray("size=") + size + ",mode=0755";
        if (::mount("tmpfs", folder.constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                    options.constData()) != 0)
            return failure("mount -t tmpfs", folder, why);
        return std::unique_ptr<ScopedMount>(new ScopedMount(folder));
    }
    // `folder` bound read-only over itself: its files stay readable, every write gives EROFS.
    static std::unique_ptr<ScopedMount> readOnly(const QByteArray& folder, QByteArray* why) {
        const char* path = folder.constData();
        if (::mount(path, path, nullptr, MS_BIND, nullptr) != 0)
            return failure("mount --bind", folder, why);
        std::unique_ptr<ScopedMount> m(new ScopedMount(folder));
        if (::mount(nullptr, path, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
            return failure("mount -o remount,bind,ro", folder, why); // `m` undoes the bind
        return m;
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
    static std::unique_ptr<ScopedMount> failure(const char* what, const QByteArray& folder,
                                                QByteArray* why) {
        *why = QByteArray(what) + " " + folder + ": " + std::strerror(errno);
        return nullptr;
    }

    QByteArray folder_;
    bool mounted_ = true;
};

} // namespace znr::test
