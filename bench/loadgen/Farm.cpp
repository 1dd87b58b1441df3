#include "Farm.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <deque>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdexcept>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace lg {

namespace {

constexpr std::uint64_t ListenerTag = 1ull << 32;
constexpr std::uint64_t ConnectionTag = 2ull << 32;
constexpr std::uint64_t SubjectTag = 3ull << 32;
constexpr std::uint64_t StallNs = 30'000'000'000ull;

int listenOnLoopback(std::uint16_t& port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 8) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        throw std::runtime_error(std::string("listen: ") + std::strerror(errno));
    port = ntohs(a.sin_port);
    return fd;
}

} // namespace

struct Farm::Instrument {
    int number = 0;
    int listenFd = -1;
    int fd = -1;
    bool greeted = false;
    std::string received; // bytes not yet taken as replies
    // Load state.
    int batch = 0;
    int position = 0; // next frame of the batch
    bool awaiting = false;
    std::uint64_t sentNs = 0;
    std::uint64_t dueNs = 0; // paced: when the next frame goes
};

struct Farm::LoadState {
    bool stopping = false;
    long batchesStarted = 0;
    std::uint64_t windowEndNs = 0;
    std::uint64_t lastAckNs = 0;
    int awaiting = 0;
    std::deque<int> due; // paced instruments in the order their next frames are due
};

Farm::Farm(int instruments, Script script) : script_(script) {
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    if (epoll_ < 0)
        throw std::runtime_error("epoll_create1 failed");
    instruments_.resize(std::size_t(instruments));
    for (int i = 0; i < instruments; ++i) {
        Instrument& in = instruments_[std::size_t(i)];
        in.number = i;
        std::uint16_t port = 0;
        in.listenFd = listenOnLoopback(port);
        ports_.push_back(port);
        addToEpoll(in.listenFd, ListenerTag | std::uint64_t(i), EPOLLIN);
    }
}

Farm::~Farm() {
    for (Instrument& in : instruments_) {
        if (in.fd >= 0)
            close(in.fd);
        close(in.listenFd);
    }
    close(epoll_);
}

void Farm::addToEpoll(int fd, std::uint64_t tag, std::uint32_t events) {
    epoll_event ev{};
    ev.events = events;
    ev.data.u64 = tag;
    if (epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev) != 0)
        throw std::runtime_error(std::string("epoll_ctl: ") + std::strerror(errno));
}

void Farm::acceptOn(Instrument& in) {
    const int fd = accept4(in.listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return;
    if (in.fd >= 0) { // one connection per instrument; a second one is refused
        close(fd);
        return;
    }
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    in.fd = fd;
    in.greeted = false;
    in.received.clear();
    addToEpoll(fd, ConnectionTag | std::uint64_t(in.number), EPOLLIN | EPOLLRDHUP);
}

bool Farm::readFrom(Instrument& in) {
    char buf[4096];
    for (;;) {
        const ssize_t n = read(in.fd, buf, sizeof buf);
        if (n > 0) {
            in.received.append(buf, std::size_t(n));
            if (std::size_t(n) < sizeof buf)
                return true;
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return true;
        return false; // end of stream or error
    }
}

void Farm::closeConnection(Instrument& in) {
    if (in.fd < 0)
        return;
    epoll_ctl(epoll_, EPOLL_CTL_DEL, in.fd, nullptr);
    close(in.fd);
    in.fd = -1;
}

bool Farm::turn(Subject& subject, int timeoutMs, const std::function<void(Instrument&)>& onData,
                std::string& error) {
    if (!subjectInEpoll_ && subject.exitFd() >= 0) {
        addToEpoll(subject.exitFd(), SubjectTag, EPOLLIN);
        subjectInEpoll_ = true;
    }
    epoll_event events[256];
    const int n = epoll_wait(epoll_, events, 256, timeoutMs);
    if (n < 0 && errno != EINTR) {
        error = std::string("epoll_wait: ") + std::strerror(errno);
        return false;
    }
    for (int e = 0; e < n; ++e) {
        const std::uint64_t tag = events[e].data.u64;
        const std::size_t i = std::size_t(tag & 0xffffffffu);
        if ((tag & ~0xffffffffull) == ListenerTag) {
            acceptOn(instruments_[i]);
        } else if ((tag & ~0xffffffffull) == ConnectionTag) {
            Instrument& in = instruments_[i];
            if (in.fd < 0)
                continue;
            const bool open = readFrom(in);
            if (!in.received.empty() && onData)
                onData(in);
            if (!open)
                closeConnection(in);
        } else if (tag == SubjectTag) {
            epoll_ctl(epoll_, EPOLL_CTL_DEL, subject.exitFd(), nullptr);
            subjectInEpoll_ = false;
            subject.running();
            if (error.empty())
                error = std::string(subject.name()) + " ended (exit code " +
                        std::to_string(subject.exitCode()) + ")";
            return false;
        }
    }
    if (subject.exitFd() < 0 && !subject.running()) {
        error = std::string(subject.name()) + " ended";
        return false;
    }
    return true;
}

bool Farm::awaitGreetings(Subject& subject, double timeoutS, std::string& error) {
    const std::uint64_t deadline = nowNs() + std::uint64_t(timeoutS * 1e9);
    std::size_t greeted = 0;
    for (const Instrument& in : instruments_)
        greeted += in.greeted ? 1 : 0;
    auto onData = [&](Instrument& in) {
        if (in.greeted || in.received.size() < 2)
            return;
        if (in.received[0] == Ack && in.received[1] == '8') {
            in.greeted = true;
            in.received.erase(0, 2);
            lastGreetingNs_ = nowNs();
            ++greeted;
        } else {
            error = "instrument " + instrumentId(in.number) + ": greeting is not ACK8";
        }
    };
    while (greeted < instruments_.size()) {
        if (nowNs() >= deadline) {
            error = std::to_string(instruments_.size() - greeted) + " of " +
                    std::to_string(instruments_.size()) + " instruments not greeted in time";
            return false;
        }
        if (!turn(subject, 50, onData, error) || !error.empty())
            return false;
    }
    return true;
}

void Farm::sendFrame(Instrument& in, LoadState& st) {
    if (in.position == 0)
        ++st.batchesStarted;
    const std::string f = script_.frame(in.number, in.batch, in.position);
    const ssize_t n = write(in.fd, f.data(), f.size());
    in.sentNs = nowNs();
    if (n != ssize_t(f.size()))
        throw std::runtime_error("instrument " + instrumentId(in.number) + ": short write");
    in.awaiting = true;
    ++st.awaiting;
}

void Farm::takeReplies(Instrument& in, LoadState& st, LoadResult& r, std::uint64_t now) {
    std::size_t at = 0;
    for (; at + 2 <= in.received.size(); at += 2) {
        if (in.received[at] != Ack || in.received[at + 1] != '8') {
            r.errors.push_back("instrument " + instrumentId(in.number) + ": reply is not ACK8");
            in.received.clear();
            return;
        }
        if (!in.awaiting) {
            r.errors.push_back("instrument " + instrumentId(in.number) + ": ACK8 without a frame");
            continue;
        }
        (script_.isBatchEnd(in.position) ? r.endRtt : r.bodyRtt).push_back(now - in.sentNs);
        in.awaiting = false;
        --st.awaiting;
        st.lastAckNs = now;
        ++r.framesTotal;
        if (!st.stopping)
            ++r.framesInWindow;
        if (++in.position == script_.framesPerBatch()) {
            in.position = 0;
            ++in.batch;
            ++r.batchesTotal;
            if (!st.stopping)
                ++r.batchesInWindow;
        }
    }
    in.received.erase(0, at);
}

LoadResult Farm::runLoad(Subject& subject, const LoadLimits& limits,
                         const std::function<void(long)>& onBatch) {
    LoadResult r;
    LoadState st;
    for (Instrument& in : instruments_) {
        in.batch = 0;
        in.position = 0;
        in.awaiting = false;
    }
    r.atStart = sampleProcess(subject.pid());
    const std::uint64_t start = nowNs();
    st.windowEndNs = limits.seconds > 0 ? start + std::uint64_t(limits.seconds * 1e9) : ~0ull;
    st.lastAckNs = start;
    auto mayStartBatch = [&] {
        return !st.stopping && (limits.maxBatches == 0 || st.batchesStarted < limits.maxBatches);
    };
    const auto paceNs = std::uint64_t(limits.paceMs * 1e6);
    // After an ACK8: the next frame of the batch, or of a new batch while the run goes on.
    auto proceed = [&](Instrument& in, std::uint64_t now) {
        if (in.fd < 0 || in.awaiting || (in.position == 0 && !mayStartBatch()))
            return;
        if (paceNs == 0) {
            sendFrame(in, st);
            return;
        }
        in.dueNs = now + paceNs;
        st.due.push_back(in.number);
    };
    auto sendDue = [&](std::uint64_t now) {
        while (!st.due.empty() && instruments_[std::size_t(st.due.front())].dueNs <= now) {
            Instrument& in = instruments_[std::size_t(st.due.front())];
            st.due.pop_front();
            if (in.fd >= 0 && (in.position != 0 || mayStartBatch()))
                sendFrame(in, st);
        }
    };
    for (std::size_t k = 0; k < instruments_.size(); ++k) {
        Instrument& in = instruments_[k];
        if (paceNs == 0 || in.fd < 0) {
            proceed(in, start);
            continue;
        }
        in.dueNs = start + paceNs * k / instruments_.size();
        st.due.push_back(in.number);
    }
    std::uint64_t windowEnd = 0;
    std::string error;
    auto onData = [&](Instrument& in) {
        const long before = r.batchesTotal;
        const std::uint64_t now = nowNs();
        takeReplies(in, st, r, now);
        if (onBatch && r.batchesTotal != before)
            onBatch(r.batchesTotal);
        proceed(in, now);
    };
    try {
        while (true) {
            const std::uint64_t now = nowNs();
            if (!st.stopping && (now >= st.windowEndNs || !mayStartBatch())) {
                st.stopping = true;
                windowEnd = now;
                r.atWindowEnd = sampleProcess(subject.pid());
            }
            sendDue(now);
            if (st.stopping && st.awaiting == 0 && st.due.empty())
                break;
            if (now - st.lastAckNs > StallNs) {
                r.errors.push_back("no ACK8 for 30 s with " + std::to_string(st.awaiting) +
                                   " frames waiting");
                break;
            }
            std::uint64_t left = st.stopping ? 100'000'000ull : st.windowEndNs - now;
            if (!st.due.empty()) {
                const std::uint64_t next = instruments_[std::size_t(st.due.front())].dueNs;
                left = std::min(left, next > now ? next - now : 0);
            }
            const int timeoutMs = int(std::min<std::uint64_t>((left + 999'999) / 1'000'000, 100));
            if (!turn(subject, timeoutMs, onData, error)) {
                r.errors.push_back(error);
                break;
            }
        }
    } catch (const std::exception& e) {
        r.errors.push_back(e.what());
    }
    if (windowEnd == 0) {
        windowEnd = nowNs();
        r.atWindowEnd = sampleProcess(subject.pid());
    }
    r.windowSeconds = double(windowEnd - start) / 1e9;
    for (const Instrument& in : instruments_) {
        r.batchesPerInstrument.push_back(in.batch);
        if (in.fd < 0)
            r.errors.push_back("instrument " + instrumentId(in.number) + ": connection lost");
    }
    r.ok = r.errors.empty();
    return r;
}

void Farm::serve(Subject& subject, double seconds, bool untilExit) {
    const std::uint64_t deadline = nowNs() + std::uint64_t(seconds * 1e9);
    std::string error;
    auto discard = [](Instrument& in) { in.received.clear(); };
    while (nowNs() < deadline) {
        if (!turn(subject, 20, discard, error))
            return;
        if (untilExit && !subject.running())
            return;
    }
}

} // namespace lg
