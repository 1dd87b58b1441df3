#pragma once

#include "core/Failure.h"

#include <cerrno>
#include <unistd.h>
#include <utility>

namespace znr {

// Owns one open file descriptor and closes it when it goes out of scope.
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    ~UniqueFd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() { return std::exchange(fd_, -1); }

    // Closes now, so that a failing close (a full disk, a network file system) is reported.
    void close() {
        if (::close(release()) != 0 && errno != EINTR)
            throw Failure::fromErrno(errno);
    }

private:
    int fd_;
};

} // namespace znr
