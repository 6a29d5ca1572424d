#include "framing.h"
#include "messagecodec.h"

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QIODevice>
#include <QSslSocket>
#include <QtEndian>
#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>

namespace wire {

static bool writePayload(QIODevice *dev, const QByteArray &payload, int msecs);

bool writeReply(QIODevice *dev, const Reply &r, int msecs) { return writePayload(dev, replyFrame(r), msecs); }

// A plain TCP socket with nothing buffered on Qt's side is read and written on
// its descriptor: one system call per piece, and no wake-ups of the thread's
// event loop for each. -1 when Qt's own path must be taken (TLS, buffered bytes).
static int plainDescriptor(QIODevice *dev)
{
    auto *sock = qobject_cast<QAbstractSocket *>(dev);
    if (!sock || sock->state() != QAbstractSocket::ConnectedState) return -1;
    if (auto *ssl = qobject_cast<QSslSocket *>(sock); ssl && ssl->mode() != QSslSocket::UnencryptedMode) return -1;
    if (sock->bytesAvailable() > 0 || sock->bytesToWrite() > 0) return -1;
    return int(sock->socketDescriptor());
}

// Waits for the descriptor to be ready; false on timeout or error.
static bool waitReady(int fd, short events, int msecs)
{
    pollfd p{fd, events, 0};
    for (;;) {
        const int n = ::poll(&p, 1, msecs);
        if (n > 0) return true;
        if (n == 0 || errno != EINTR) return false;
    }
}

bool arrivesWithin(int fd, qint64 spinNs)
{
    QElapsedTimer spin;
    spin.start();
    pollfd p{fd, POLLIN, 0};
    do {
        if (::poll(&p, 1, 0) > 0) return true;  // bytes, or the close to report
        sched_yield();  // a thread that has work (the server, on one core) goes first
    } while (spin.nsecsElapsed() < spinNs);
    return false;
}

// How long a reader waits for the bytes of one reply: msecs at most for any
// of them, and in all msecs plus a second for every 4 KB that came. A peer
// that sends a byte now and then runs out of time as one that sends nothing;
// a link that keeps bringing 4 KB a second or more (a 32 kbit/s line) does not.
class Patience {
public:
    static constexpr qint64 kBytesPerSecond = 4096;
    explicit Patience(int msecs) : m_msecs(msecs), m_end(msecs) { m_clock.start(); }
    void arrived(qint64 bytes)
    {
        if (m_msecs < 0) return;
        m_bytes += bytes;
        m_end = std::min(m_clock.elapsed() + m_msecs, m_msecs + m_bytes * 1000 / kBytesPerSecond);
    }
    // What is left to wait, for poll() and waitForReadyRead(); -1: for ever.
    int left() const { return m_msecs < 0 ? -1 : int(std::max<qint64>(0, m_end - m_clock.elapsed())); }
    bool over() const { return m_msecs >= 0 && m_clock.elapsed() >= m_end; }
private:
    QElapsedTimer m_clock;
    int m_msecs;
    qint64 m_end;
    qint64 m_bytes = 0;
};

// A small call's answer usually comes within this: looked for awake first,
// as a thread that went to sleep costs two wake-ups (here and on the way
// back) that can take longer than the answer did.
constexpr qint64 kAnswerSpinNs = 50000;

// waitFirst: the bytes are not expected to be there yet (an answer just asked
// for), so the first try would only fail.
static ReadStatus recvExactly(int fd, char *dst, qint64 n, Patience &patience, bool waitFirst)
{
    qint64 got = 0;
    if (waitFirst && !arrivesWithin(fd, kAnswerSpinNs) && !waitReady(fd, POLLIN, patience.left())) return ReadStatus::Timeout;
    while (got < n) {
        const ssize_t r = ::recv(fd, dst + got, size_t(n - got), MSG_DONTWAIT);
        if (r > 0) {
            got += r;
            patience.arrived(r);
        } else if (r == 0) {
            return ReadStatus::Closed;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            pollfd p{fd, POLLIN, 0};
            const int k = patience.over() ? 0 : ::poll(&p, 1, patience.left());
            if (k == 0) return ReadStatus::Timeout;
            if (k < 0 && errno != EINTR) return ReadStatus::Closed;
        } else if (errno != EINTR) {
            return ReadStatus::Closed;
        }
    }
    return ReadStatus::Ok;
}

qint64 sendNow(int fd, const char *data, qint64 n)
{
    qint64 sent = 0;
    while (sent < n) {
        const ssize_t r = ::send(fd, data + sent, size_t(n - sent), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (r > 0) sent += r;
        else if (r < 0 && errno == EINTR) continue;
        else if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        else return -1;
    }
    return sent;
}

static bool sendAll(int fd, const char *src, qint64 n, int msecs)
{
    qint64 sent = 0;
    while (sent < n) {
        const qint64 r = sendNow(fd, src + sent, n - sent);
        if (r < 0) return false;
        sent += r;
        if (sent < n && !waitReady(fd, POLLOUT, msecs)) return false;
    }
    return true;
}

static ReadStatus readExactly(QIODevice *dev, char *dst, qint64 n, Patience &patience)
{
    auto *sock = qobject_cast<QAbstractSocket *>(dev);
    const auto failed = [sock] {
        if (sock && sock->state() != QAbstractSocket::ConnectedState) return ReadStatus::Closed;
        return sock && sock->error() == QAbstractSocket::SocketTimeoutError ? ReadStatus::Timeout : ReadStatus::Closed;
    };
    qint64 got = 0;
    while (got < n) {
        if (dev->bytesAvailable() == 0) {
            if (sock && sock->state() != QAbstractSocket::ConnectedState) return ReadStatus::Closed;
            if (patience.over()) return ReadStatus::Timeout;
            if (!dev->waitForReadyRead(patience.left())) return patience.over() ? ReadStatus::Timeout : failed();
        }
        const qint64 r = dev->read(dst + got, n - got);
        if (r < 0) return failed();
        got += r;
        patience.arrived(r);
    }
    return ReadStatus::Ok;
}

// One frame with the marks of its length word; a frame over maxBytes is not read.
static ReadStatus readMarkedFrame(QIODevice *dev, QByteArray *payload, quint32 *marks, int maxBytes, Patience &patience)
{
    char hdr[4];
    const auto lengthOf = [&](quint32 *len) {
        const quint32 word = qFromBigEndian<quint32>(hdr);
        *marks = word & ~kLengthMask;
        *len = word & kLengthMask;
        return *len <= quint32(maxBytes);
    };
    quint32 len = 0;
    if (const int fd = plainDescriptor(dev); fd >= 0) {
        ReadStatus st = recvExactly(fd, hdr, 4, patience, true);
        if (st != ReadStatus::Ok) return st;
        if (!lengthOf(&len)) return ReadStatus::TooLarge;
        payload->resize(len);
        return recvExactly(fd, payload->data(), len, patience, false);
    }
    if (const ReadStatus st = readExactly(dev, hdr, 4, patience); st != ReadStatus::Ok) return st;
    if (!lengthOf(&len)) return ReadStatus::TooLarge;
    payload->resize(len);
    return readExactly(dev, payload->data(), len, patience);
}

ReadStatus readFrame(QIODevice *dev, QByteArray *payload, int maxBytes, int msecs)
{
    quint32 marks = 0;
    Patience patience(msecs);
    const ReadStatus st = readMarkedFrame(dev, payload, &marks, maxBytes, patience);
    // Marks come only to a client that asked for pieces; here they are a length too large.
    return st == ReadStatus::Ok && marks != 0 ? ReadStatus::TooLarge : st;
}

ReadStatus readReply(QIODevice *dev, Reply *out, int msecs, QString *why, const std::function<void(Reply &)> &onPiece)
{
    QByteArray payload;
    PieceDecoder pieces;
    qint64 total = 0;
    bool inPieces = false;
    Patience patience(msecs);
    for (;;) {
        quint32 marks = 0;
        // After pieces, a frame may be no larger than what is left of a whole
        // reply's size (an abandon mark's error always fits in the floor).
        const qint64 room = inPieces ? std::max<qint64>(kMaxFrameBytes - total, 64 * 1024) : kMaxFrameBytes;
        const ReadStatus st = readMarkedFrame(dev, &payload, &marks, int(room), patience);
        if (st != ReadStatus::Ok) return st;
        const bool piece = marks & kPieceBit, abandon = marks & kAbandonBit;
        if ((piece && abandon) || (abandon && !inPieces)) {
            *why = QStringLiteral("resposta ilegível");
            return ReadStatus::Unreadable;
        }
        if (!piece && !inPieces) {
            auto r = decodeReply(payload, why);
            if (!r) return ReadStatus::Unreadable;
            *out = std::move(*r);
            return ReadStatus::Ok;
        }
        if (abandon) {
            // The pieces were void: this frame is the whole reply, an error.
            auto r = decodeReply(payload, why);
            if (!r || r->ok()) {
                if (r) *why = QStringLiteral("resposta ilegível");
                return ReadStatus::Unreadable;
            }
            *out = std::move(*r);
            return ReadStatus::Ok;
        }
        // The whole reply in pieces is held to the size of a whole one.
        total += payload.size();
        if (total > kMaxFrameBytes) return ReadStatus::TooLarge;
        inPieces = true;
        if (!pieces.add(payload, !piece, why)) return ReadStatus::Unreadable;
        if (onPiece) onPiece(pieces.reply());
        if (!piece) {
            *out = std::move(pieces.reply());
            return ReadStatus::Ok;
        }
    }
}

IdleState idleState(QIODevice *dev)
{
    const int fd = plainDescriptor(dev);
    if (fd < 0) return IdleState::Unknown;
    char c;
    for (;;) {
        const ssize_t r = ::recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
        if (r > 0) return IdleState::Unread;
        if (r == 0) return IdleState::Closed;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return IdleState::Open;
        if (errno != EINTR) return IdleState::Closed;
    }
}

bool writeFrame(QIODevice *dev, const QByteArray &payload, int msecs)
{
    // One buffer, so the frame leaves in one write rather than a segment per piece.
    return writePayload(dev, frame(payload), msecs);
}

static bool writePayload(QIODevice *dev, const QByteArray &payload, int msecs)
{
    if (const int fd = plainDescriptor(dev); fd >= 0) return sendAll(fd, payload.constData(), payload.size(), msecs);
    if (dev->write(payload) != payload.size()) return false;
    auto *sock = qobject_cast<QAbstractSocket *>(dev);
    if (!sock) return true;
    while (sock->bytesToWrite() > 0)
        if (!sock->waitForBytesWritten(msecs)) return false;
    return true;
}

}  // namespace wire
