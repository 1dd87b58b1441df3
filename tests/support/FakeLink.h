#pragma once

#include "core/Failure.h"
#include "link/Link.h"

#include <QByteArrayList>
#include <QPointer>
#include <functional>
#include <optional>
#include <vector>

namespace znr::test {

// A line the test drives: it records what is written and lets the test push received bytes,
// drop the line, or decide how opening and closing go.
class FakeLink final : public Link {
public:
    enum class Opening { AtOnce, Later }; // Later: open() waits for succeed() or drop()

    explicit FakeLink(LinkEndpoint endpoint) : endpoint(std::move(endpoint)) {}

    // --- what the test arranges
    Opening opening = Opening::AtOnce;
    std::optional<Failure> openFailure;  // thrown by open()
    std::optional<Failure> writeFailure; // thrown by every write while set
    bool holdClose = false;              // close() leaves the line open until finishClose()

    // --- what the test observes
    const LinkEndpoint endpoint;
    QByteArrayList written; // one entry per write
    int closeCalls = 0;

    // A pending open completes.
    void succeed() {
        open_ = true;
        Q_EMIT opened();
    }
    // Received bytes. A batch end (ENB, ERR) is answered once the writer thread has its files
    // on disk, so bytes with one wait (running events) until every EOT got its reply.
    void receive(const QByteArray& bytes);
    // The line breaks (or the opening fails).
    void drop(int number, const QByteArray& text) {
        open_ = false;
        Q_EMIT dropped(number, text);
    }
    // A held close completes.
    void finishClose() {
        open_ = false;
        Q_EMIT closed();
    }

    void open() override;
    void close() override {
        ++closeCalls;
        open_ = open_ && holdClose;
    }
    bool isOpen() const override { return open_; }
    void write(const QByteArray& bytes) override;

private:
    bool open_ = false;
};

// Makes fake links as the code under test asks for them, each arranged like the template
// fields below, and keeps track of them.
struct FakeLinks {
    FakeLink::Opening opening = FakeLink::Opening::AtOnce;
    std::optional<Failure> openFailure;
    std::optional<Failure> writeFailure;
    std::vector<std::pair<LinkEndpoint, QPointer<FakeLink>>> made;

    LinkFactory factory();
    // The latest link made to a host or COM port (null when none or deleted).
    FakeLink* to(const QByteArray& host) const;
    FakeLink* toCom(int comPort) const;

private:
    FakeLink* latest(const std::function<bool(const LinkEndpoint&)>& matches) const;
};

} // namespace znr::test
