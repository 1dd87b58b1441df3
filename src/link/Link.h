#pragma once

#include <QByteArray>
#include <QObject>
#include <functional>
#include <memory>
#include <utility>

namespace znr {

// Failure numbers of a dropped line, in the numbering log readers know.
namespace LinkErrorNo {
inline constexpr int ConnectionReset = 10054; // also a peer that closed its end
inline constexpr int TimedOut = 10060;
inline constexpr int ConnectionRefused = 10061;
inline constexpr int HostNotFound = 11001;
inline constexpr int NotOpen = 40006; // a write on a line that is not open
} // namespace LinkErrorNo

// Where an instrument's line goes: a TCP address and port, or a serial port and its settings.
struct LinkEndpoint {
    bool serial = false;
    QByteArray host;
    quint16 port = 0;
    qint16 comPort = 0;
    QByteArray settings; // "9600,n,8,1"
    bool dtr = false;
    bool rts = false;

    static LinkEndpoint tcp(const QByteArray& host, quint16 port) {
        LinkEndpoint e;
        e.host = host;
        e.port = port;
        return e;
    }
    static LinkEndpoint serialPort(qint16 comPort, const QByteArray& settings, bool dtr, bool rts) {
        LinkEndpoint e;
        e.serial = true;
        e.comPort = comPort;
        e.settings = settings;
        e.dtr = dtr;
        e.rts = rts;
        return e;
    }
};

// One line to an instrument, TCP or serial. Every operation returns at once; what happens on the
// line afterwards is reported through the signals, on the thread that owns the link.
//
// An event that arises inside one of the link's own operations (a refusal noticed inside open,
// a broken pipe found by write) is raised from the event loop after the operation has returned,
// so a handler never runs in the middle of the caller's step; it is dropped when the link was
// closed or opened again in between.
class Link : public QObject {
    Q_OBJECT
public:
    // Starts opening. Throws Failure when the line cannot be opened at all; otherwise the link is
    // open on return, or opened() or dropped() follows.
    virtual void open() = 0;
    // Closes without raising events. A line with bytes still to deliver stays isOpen() until
    // closed() is raised.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Sends the bytes in one write, at once. Throws Failure when the line is not open.
    virtual void write(const QByteArray& bytes) = 0;

Q_SIGNALS:
    void received(QByteArray bytes);
    void opened();
    // An opening failed, or an open line broke; raised once each time. The line is closed.
    void dropped(int number, QByteArray text);
    // A close that had to deliver bytes first is over.
    void closed();

protected:
    // Raises one event: `emitFn` emits the signal. Outside the link's own operations it runs at
    // once, without being wrapped for later (the path of every arrival).
    template <class EmitFn> void raise(EmitFn&& emitFn) {
        if (inOperation_ == 0)
            emitFn();
        else
            raiseLater(std::forward<EmitFn>(emitFn));
    }
    // Marks a stretch where the link runs one of its own operations.
    class OperationScope {
    public:
        explicit OperationScope(Link& link) : link_(link) { ++link_.inOperation_; }
        ~OperationScope() { --link_.inOperation_; }
        OperationScope(const OperationScope&) = delete;
        OperationScope& operator=(const OperationScope&) = delete;

    private:
        Link& link_;
    };
    // A new opening or a close: events still pending from before it are stale.
    void startNewGeneration() { ++generation_; }

private:
    void raiseLater(std::function<void()> emitFn);

    int inOperation_ = 0;
    quint64 generation_ = 0;
};

using LinkFactory = std::function<std::unique_ptr<Link>(const LinkEndpoint&)>;

} // namespace znr
