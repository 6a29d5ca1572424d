#pragma once
// Sends a large reply in pieces while a worker still makes it, so that the
// client reads one piece while the next is made. Straight on the connection's
// descriptor where the worker has one: what the socket does not take at once
// waits here and goes before the next piece, so a slow client never holds a
// worker. Without a descriptor (TLS) each piece goes to the event loop.
#include "call.h"
#include <QByteArray>
#include <atomic>
#include <functional>
#include <memory>

namespace appsrv {

class PieceSender : public wire::ReplySink {
public:
    using Post = std::function<void(QByteArray)>;  // to the event loop, in order
    // fd: the worker's descriptor of the connection, or -1 (then post, and
    // clientGone is set from the event loop when the connection has closed).
    PieceSender(int fd, qint64 cap, Post post, std::shared_ptr<const std::atomic<bool>> clientGone = {})
        : m_fd(fd), m_cap(cap), m_post(std::move(post)), m_clientGone(std::move(clientGone))
    {
    }
    // Ready for the next reply on the same connection.
    void reset();
    bool piece(const QVector<QString> &refs, QByteArrayView packetBytes) override;
    bool started() const { return m_started; }
    // The reply's last frame after its pieces, behind what the socket has not
    // taken yet: the rest of the packet, or the abandon mark with the error
    // (r's, or the size cap's when the rest would pass it). *failed set when
    // it is an error.
    QByteArray finish(const wire::Reply &r, wire::Reply *failed);
    // Bytes of every frame of the reply so far, length words included.
    qint64 frameBytes() const { return m_frameBytes; }
private:
    void send(QByteArrayView bytes);
    int m_fd;
    qint64 m_cap;
    Post m_post;
    std::shared_ptr<const std::atomic<bool>> m_clientGone;
    bool m_started = false, m_gone = false;
    qint64 m_payload = 0, m_frameBytes = 0;
    QByteArray m_unsent;  // from m_unsentAt on, what the socket did not take yet
    qsizetype m_unsentAt = 0;
};

}  // namespace appsrv
