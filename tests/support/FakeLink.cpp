#include "support/FakeLink.h"

namespace znr::test {

void FakeLink::succeed() {
    open_ = true;
    Q_EMIT opened();
}

void FakeLink::receive(const QByteArray& bytes) {
    Q_EMIT received(bytes);
}

void FakeLink::drop(int number, const QByteArray& text) {
    open_ = false;
    Q_EMIT dropped(number, text);
}

void FakeLink::finishClose() {
    open_ = false;
    Q_EMIT closed();
}

void FakeLink::open() {
    ++openCalls;
    if (openFailure)
        throw *openFailure;
    open_ = opening == Opening::AtOnce;
}

void FakeLink::close() {
    ++closeCalls;
    open_ = open_ && holdClose;
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

FakeLink* FakeLinks::to(const QByteArray& host) const {
    for (auto it = made.rbegin(); it != made.rend(); ++it)
        if (!it->first.serial && it->first.host == host)
            return it->second;
    return nullptr;
}

FakeLink* FakeLinks::toCom(int comPort) const {
    for (auto it = made.rbegin(); it != made.rend(); ++it)
        if (it->first.serial && it->first.comPort == comPort)
            return it->second;
    return nullptr;
}

} // namespace znr::test
