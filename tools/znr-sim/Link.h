#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

class QSocketNotifier;
class QSerialPort;
class QTcpServer;
class QTcpSocket;

namespace sim {

struct SimOptions;

// Where the simulator meets the extractor: a byte stream that opens and closes.
class Link : public QObject {
    Q_OBJECT
public:
    // Listens or opens; false with a message when that is impossible.
    virtual bool start(QString* error) = 0;
    // One write of all the bytes (nothing when the link is not open).
    virtual void send(const QByteArray& bytes) = 0;
    // Sends what is pending and lets go of the extractor.
    virtual void finish() = 0;

Q_SIGNALS:
    void opened();
    void received(const QByteArray& bytes);
    void closed();
    void note(const QString& line); // a line worth printing, e.g. the port listened on
};

std::unique_ptr<Link> makeLink(const SimOptions& options);

// TCP server serving one client at a time.
class TcpLink final : public Link {
    Q_OBJECT
public:
    TcpLink(QString address, quint16 port);
    bool start(QString* error) override;
    void send(const QByteArray& bytes) override;
    void finish() override;

private:
    void onNewConnection();

    QString address_;
    quint16 port_;
    QTcpServer* server_;
    QTcpSocket* client_ = nullptr;
};

class SerialLink final : public Link {
    Q_OBJECT
public:
    SerialLink(QString device, QByteArray settings);
    bool start(QString* error) override;
    void send(const QByteArray& bytes) override;
    void finish() override;

private:
    bool applySettings(QString* error);

    QString device_;
    QByteArray settings_;
    QSerialPort* port_;
};

// A pseudo-terminal the simulator creates; the extractor opens its slave through a symlink.
// The simulator keeps the slave open too, so the extractor closing its port is no hang-up.
class PtyLink final : public Link {
    Q_OBJECT
public:
    explicit PtyLink(QString linkPath);
    ~PtyLink() override;
    bool start(QString* error) override;
    void send(const QByteArray& bytes) override;
    void finish() override;

private:
    void onReadable();
    void onWritable();

    QString linkPath_;
    int master_ = -1;
    int slave_ = -1;
    bool linked_ = false;
    QByteArray pending_;
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;
};

} // namespace sim
