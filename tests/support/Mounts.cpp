#include "support/Mounts.h"

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

namespace znr::test {

namespace {

QByteArray failure(const char* what, const QByteArray& folder) {
    return QByteArray(what) + " " + folder + ": " + std::strerror(errno);
}

} // namespace

std::unique_ptr<ScopedMount> ScopedMount::tmpfs(const QByteArray& folder, const char* size,
                                                QByteArray* why) {
    const QByteArray options = QByteArray("size=") + size + ",mode=0755";
    if (::mount("tmpfs", folder.constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) !=
        0) {
        *why = failure("mount -t tmpfs", folder);
        return nullptr;
    }
    return std::unique_ptr<ScopedMount>(new ScopedMount(folder));
}

std::unique_ptr<ScopedMount> ScopedMount::readOnly(const QByteArray& folder, QByteArray* why) {
    if (::mount(folder.constData(), folder.constData(), nullptr, MS_BIND, nullptr) != 0) {
        *why = failure("mount --bind", folder);
        return nullptr;
    }
    std::unique_ptr<ScopedMount> m(new ScopedMount(folder));
    if (::mount(nullptr, folder.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) !=
        0) {
        *why = failure("mount -o remount,bind,ro", folder);
        return nullptr; // the destructor undoes the bind
    }
    return m;
}

ScopedMount::~ScopedMount() {
    unmount();
}

bool ScopedMount::unmount() {
    if (!mounted_)
        return true;
    mounted_ = ::umount2(folder_.constData(), MNT_DETACH) != 0;
    return !mounted_;
}

} // namespace znr::test
