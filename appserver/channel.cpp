#include "channel.h"
#include "appserver.h"
#include "codec.h"

#include <QHostAddress>
#include <QSslSocket>
#include <QTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace appsrv {

namespace {

}  // namespace

QString peerAddressOf(int fd)
{
    sockaddr_storage ss{};
    socklen_t len = sizeof ss;
    if (::getpeername(fd, reinterpret_cast<sockaddr *>(&ss), &len) != 0) return QStringLiteral("?");
    QHostAddress a(reinterpret_cast<sockaddr *>(&ss));
    return a.toString();
}

namespace {

// Plain TCP straight on the descriptor: no second buffer, and reading can be
// paused while a worker reads the next call itself.
class PlainChannel : public Channel {
public:
    explicit PlainChannel(int fd)
        : m_fd(fd), m_read(qintptr(fd), QSocketNotifier::Read), m_write(qintptr(fd), QSocketNotifier::Write)
    {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        m_peer = peerAddressOf(fd);
        m_write.setEnabled(false);
        connect(&m_read, &QSocketNotifier::activated, this, [this] { readSome(); });
        connect(&m_write, &QSocketNotifier::activated, this, [this] { flush(); });
    }
    ~PlainChannel() override { close(); }

    QString peer() const override { return m_peer; }
    QByteArray readAll() override { return std::exchange(m_inbox, {}); }
    qint64 pendingOut() const override { return m_out.size(); }
    qint64 sentOut() const override { return m_sent; }
    void pauseReading(bool paused) override
    {
        if (m_fd >= 0) m_read.setEnabled(!paused);
    }
    int duplicate() const override { return m_fd < 0 || !m_out.isEmpty() ? -1 : ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0); }

    void write(const QByteArray &bytes) override
    {
        if (m_fd < 0 || bytes.isEmpty()) return;
        m_out.append(bytes);
        flush();
    }

    void close() override
    {
        if (m_fd < 0) return;
        m_read.setEnabled(false);
        m_write.setEnabled(false);
        ::close(m_fd);
        m_fd = -1;
    }

    void closeAfterWrite() override
    {
        m_closeWhenSent = true;
        m_read.setEnabled(false);
        flush();
    }

private:
    void readSome()
    {
        char buf[64 * 1024];
        bool gone = false;
        // A slice at a time: a client writing as fast as it is read would
        // otherwise keep this loop going, and its bytes piling up, without end.
        // The notifier comes back for the rest.
        for (int slices = 0; slices < 16; ++slices) {
            const ssize_t n = ::recv(m_fd, buf, sizeof buf, MSG_DONTWAIT);
            if (n > 0) {
                m_inbox.append(buf, n);
                if (n < qsizetype(sizeof buf)) break;
            } else if (n == 0) {
                gone = true;
                break;
            } else if (errno == EINTR) {
                continue;
            } else {
                gone = errno != EAGAIN && errno != EWOULDBLOCK;
                break;
            }
        }
        if (!m_inbox.isEmpty() && onReadable) onReadable();
        if (gone) lost();
    }

    void flush()
    {
        const bool wasPending = !m_out.isEmpty();
        if (m_fd >= 0 && !m_out.isEmpty()) {
            const qint64 sent = wire::sendNow(m_fd, m_out.constData(), m_out.size());
            if (sent < 0) {
                m_out.clear();
                // Told from the event loop, not from inside the caller's write.
                QTimer::singleShot(0, this, [this] { lost(); });
                return;
            }
            m_out.remove(0, sent);
            m_sent += sent;
            if (!m_out.isEmpty()) {
                m_write.setEnabled(true);
                return;
            }
        }
        m_write.setEnabled(false);
        if (wasPending && !m_closeWhenSent && onDrained) QTimer::singleShot(0, this, [this] { if (onDrained) onDrained(); });
        if (m_closeWhenSent) {
            close();
            if (onFinished) QTimer::singleShot(0, this, [this] { onFinished(); });
        }
    }

    void lost()
    {
        if (std::exchange(m_lost, true)) return;
        close();
        if (onClosed) onClosed();
    }

    int m_fd;
    QSocketNotifier m_read, m_write;
    QString m_peer;
    QByteArray m_inbox, m_out;
    bool m_closeWhenSent = false;
    bool m_lost = false;
    qint64 m_sent = 0;
};

class TlsChannel : public Channel {
public:
    explicit TlsChannel(QSslSocket *sock) : m_sock(sock)
    {
        m_sock->setParent(this);
        m_peer = m_sock->peerAddress().toString();
        connect(m_sock, &QIODevice::readyRead, this, [this] { if (onReadable) onReadable(); });
        connect(m_sock, &QSslSocket::encrypted, this, [this] { if (onReadable) onReadable(); });
        connect(m_sock, &QAbstractSocket::disconnected, this, [this] { if (onClosed) onClosed(); });
        connect(m_sock, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
            if (e != QAbstractSocket::RemoteHostClosedError) qCInfo(lcServer) << m_peer << m_sock->errorString();
            if (onClosed) onClosed();
        });
        connect(m_sock, &QSslSocket::sslErrors, this, [this] { if (onClosed) onClosed(); });
        connect(m_sock, &QSslSocket::encryptedBytesWritten, this, [this](qint64 written) {
            m_sent += written;
            if (m_sock->bytesToWrite() == 0 && m_sock->encryptedBytesToWrite() == 0 && onDrained) onDrained();
        });
        m_sock->startServerEncryption();
    }
    QString peer() const override { return m_peer; }
    QByteArray readAll() override { return m_sock->readAll(); }
    void write(const QByteArray &bytes) override { m_sock->write(bytes); }
    // What waits to be encrypted and what waits, encrypted, for the network:
    // Qt passes the first on to the second at once.
    qint64 pendingOut() const override { return m_sock->bytesToWrite() + m_sock->encryptedBytesToWrite(); }
    qint64 sentOut() const override { return m_sent; }
    bool ready() const override { return m_sock->isEncrypted(); }
    // Qt stops taking bytes from the network once its buffer holds this much.
    void pauseReading(bool paused) override { m_sock->setReadBufferSize(paused ? 64 * 1024 : 0); }
    void close() override
    {
        m_sock->disconnect(this);
        m_sock->abort();
    }
    void closeAfterWrite() override
    {
        m_sock->disconnect(this);
        connect(m_sock, &QAbstractSocket::disconnected, this, [this] { if (onFinished) onFinished(); });
        m_sock->disconnectFromHost();
    }

private:
    QSslSocket *m_sock;
    QString m_peer;
    qint64 m_sent = 0;
};

}  // namespace

std::unique_ptr<Channel> plainChannel(int fd) { return std::make_unique<PlainChannel>(fd); }
std::unique_ptr<Channel> tlsChannel(QSslSocket *sock) { return std::make_unique<TlsChannel>(sock); }

}  // namespace appsrv
