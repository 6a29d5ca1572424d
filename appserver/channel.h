#pragma once
// What a session reads from and writes to: a plain TCP descriptor watched by
// the event loop's socket notifiers, or a TLS socket. Both are used on the
// event loop's thread only.
#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <functional>
#include <memory>

class QSslSocket;

namespace appsrv {

class Channel : public QObject {
public:
    std::function<void()> onReadable;  // bytes arrived (or the TLS handshake ended)
    std::function<void()> onClosed;    // the peer went away or the socket failed
    std::function<void()> onFinished;  // closeAfterWrite() is done
    std::function<void()> onDrained;   // everything written has gone out

    virtual QString peer() const = 0;
    virtual QByteArray readAll() = 0;
    // Written in one go where the socket takes it; the rest as it drains.
    virtual void write(const QByteArray &bytes) = 0;
    // Bytes written and not gone out yet.
    virtual qint64 pendingOut() const = 0;
    // Bytes gone out since the channel opened.
    virtual qint64 sentOut() const = 0;
    // False until a TLS channel is encrypted.
    virtual bool ready() const { return true; }
    // Stops (or resumes) reading: while a worker owns the connection's next
    // bytes, or while the session holds as much as it takes.
    virtual void pauseReading(bool) {}
    // A duplicate of the descriptor for a worker to answer on (and read the
    // next call from while reading is paused); -1 where that cannot be done.
    virtual int duplicate() const { return -1; }
    virtual void close() = 0;
    // Sends what is pending, then closes; deleted later by the caller's parent.
    virtual void closeAfterWrite() = 0;
};

QString peerAddressOf(int fd);

// Takes ownership of the accepted descriptor.
std::unique_ptr<Channel> plainChannel(int fd);
// The TLS socket is set up by the caller and owned by the channel.
std::unique_ptr<Channel> tlsChannel(QSslSocket *sock);

}  // namespace appsrv
