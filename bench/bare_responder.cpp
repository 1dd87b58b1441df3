// znr-bare-responder PORT...: the baseline of the load generator. Connects to every port on
// 127.0.0.1 at once, greets each instrument with ACK8, answers every EOT with ACK8 and does
// nothing else. SIGTERM or SIGINT closes everything and exits with 0.

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr char Ack8[] = {'\x06', '8'};
constexpr char Eot = '\x04';
constexpr std::uint64_t SignalTag = ~0ull;

struct Link {
    int fd = -1;
    bool connected = false;
};

int connectTo(std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 && errno != EINPROGRESS) {
        close(fd);
        return -1;
    }
    return fd;
}

void drop(int epoll, Link& link) {
    epoll_ctl(epoll, EPOLL_CTL_DEL, link.fd, nullptr);
    close(link.fd);
    link.fd = -1;
}

// Connected: no Nagle delay, greet, and from now on only reading matters.
void greet(int epoll, Link& link, std::uint64_t tag) {
    int err = 0;
    socklen_t len = sizeof err;
    getsockopt(link.fd, SOL_SOCKET, SO_ERROR, &err, &len);
    if (err != 0) {
        drop(epoll, link);
        return;
    }
    const int one = 1;
    setsockopt(link.fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    link.connected = true;
    epoll_event ev{};
    ev.events = EPOLLIN | EPOLLRDHUP;
    ev.data.u64 = tag;
    epoll_ctl(epoll, EPOLL_CTL_MOD, link.fd, &ev);
    if (write(link.fd, Ack8, sizeof Ack8) != ssize_t(sizeof Ack8))
        drop(epoll, link);
}

// Every EOT read is answered with its own ACK8; the replies of one read leave in one write.
void answer(int epoll, Link& link) {
    char buf[4096];
    const ssize_t n = read(link.fd, buf, sizeof buf);
    if (n <= 0) {
        if (n == 0 || (errno != EAGAIN && errno != EINTR))
            drop(epoll, link);
        return;
    }
    std::string replies;
    for (ssize_t i = 0; i < n; ++i)
        if (buf[i] == Eot)
            replies.append(Ack8, sizeof Ack8);
    if (!replies.empty() &&
        write(link.fd, replies.data(), replies.size()) != ssize_t(replies.size()))
        drop(epoll, link);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("Usage: znr-bare-responder PORT...\n", stderr);
        return 2;
    }
    rlimit lim{};
    if (getrlimit(RLIMIT_NOFILE, &lim) == 0) {
        lim.rlim_cur = lim.rlim_max;
        setrlimit(RLIMIT_NOFILE, &lim);
    }
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    sigprocmask(SIG_BLOCK, &stop, nullptr);
    const int epoll = epoll_create1(EPOLL_CLOEXEC);
    const int sfd = signalfd(-1, &stop, SFD_CLOEXEC);
    epoll_event sev{};
    sev.events = EPOLLIN;
    sev.data.u64 = SignalTag;
    epoll_ctl(epoll, EPOLL_CTL_ADD, sfd, &sev);

    std::vector<Link> links(std::size_t(argc - 1));
    for (int i = 1; i < argc; ++i) {
        Link& link = links[std::size_t(i - 1)];
        link.fd = connectTo(std::uint16_t(std::atoi(argv[i])));
        if (link.fd < 0)
            continue;
        epoll_event ev{};
        ev.events = EPOLLOUT;
        ev.data.u64 = std::uint64_t(i - 1);
        epoll_ctl(epoll, EPOLL_CTL_ADD, link.fd, &ev);
    }
    epoll_event events[256];
    for (;;) {
        const int n = epoll_wait(epoll, events, 256, -1);
        for (int e = 0; e < n; ++e) {
            if (events[e].data.u64 == SignalTag) {
                for (Link& link : links)
                    if (link.fd >= 0)
                        close(link.fd);
                return 0;
            }
            Link& link = links[events[e].data.u64];
            if (link.fd < 0)
                continue;
            if (!link.connected)
                greet(epoll, link, events[e].data.u64);
            else
                answer(epoll, link);
        }
    }
}
