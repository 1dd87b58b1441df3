#pragma once

#include <QByteArray>
#include <memory>

namespace znr::test {

// A mount made by a test over one of its own folders, undone when it goes out of scope (or by
// unmount()). Needs the right to mount (root); when that is missing, make() returns nullptr and
// `why` says so.
class ScopedMount {
public:
    // A small tmpfs of `size` (e.g. "64k") over `folder`: writing past it gives ENOSPC.
    static std::unique_ptr<ScopedMount> tmpfs(const QByteArray& folder, const char* size,
                                              QByteArray* why);
    // `folder` bound read-only over itself: its files stay readable, every write gives EROFS.
    static std::unique_ptr<ScopedMount> readOnly(const QByteArray& folder, QByteArray* why);

    ~ScopedMount();
    ScopedMount(const ScopedMount&) = delete;
    ScopedMount& operator=(const ScopedMount&) = delete;

    bool unmount();

private:
    explicit ScopedMount(QByteArray folder) : folder_(std::move(folder)) {}
    QByteArray folder_;
    bool mounted_ = true;
};

} // namespace znr::test
