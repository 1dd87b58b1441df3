#include "support/FakeLink.h"

#include <QTest>

namespace znr::test {

void FakeLink::open() {
    if (openFailure)
        throw *openFailure;
    open_ = opening == Opening::AtOnce;
}

void FakeLink::write(const QByteArray& bytes) {
    if (writeFailure)
        throw *writeFailure;
    if (!open_)
        throw Failure(LinkErrorNo::NotOpen, "not open");
    written.append(bytes);
}

LinkFactory FakeLinks::factory() {
    return [this](const LinkEndpoint& endpoint) {
        auto link = std::make_unique<FakeLink>(endpoint);
        link->opening = opening;
        link->openFailure = openFailure;
        link->writeFailure = writeFailure;
        made.emplace_back(endpoint, link.get());
        return link;
    };
}

FakeLink* FakeLinks::latest(const std::function<bool(const LinkEndpoint&)>& matches) const {
    for (auto it = made.rbegin(); it != made.rend(); ++it)
        if (matches(it->first))
            return it->second;
    return nullptr;
}

FakeLink* FakeLinks::to(const QByteArray& host) const {
    return latest([&](const LinkEndpoint& e) { return !e.serial && e.host == host; });
}

FakeLink* FakeLinks::toCom(int comPort) const {
    return latest([&](const LinkEndpoint& e) { return e.serial && e.comPort == comPort; });
}

void FakeLink::receive(const QByteArray& bytes) {
    const qsizetype expected = written.size() + bytes.count('\x04');
    Q_EMIT received(bytes);
    if (bytes.contains("ENB") || bytes.contains("ERR"))
        (void)QTest::qWaitFor([&] { return written.size() >= expected || !open_; });
}

} // namespace znr::test
