#include "piecesender.h"
#include "framing.h"
#include "messagecodec.h"
#include "serverobject.h"

namespace appsrv {

using wire::lengthWord;

void PieceSender::reset()
{
    m_started = m_gone = false;
    m_payload = m_frameBytes = 0;
    m_unsent.clear();
    m_unsentAt = 0;
}

void PieceSender::send(QByteArrayView bytes)
{
    if (m_gone || bytes.isEmpty()) return;
    if (m_fd < 0) {
        m_post(bytes.toByteArray());
        return;
    }
    // Behind anything still waiting, in order.
    if (m_unsentAt < m_unsent.size()) {
        m_unsent.append(bytes.data(), bytes.size());
        const qint64 n = wire::sendNow(m_fd, m_unsent.constData() + m_unsentAt, m_unsent.size() - m_unsentAt);
        if (n < 0) {
            m_gone = true;
            return;
        }
        m_unsentAt += n;
        if (m_unsentAt == m_unsent.size()) {
            m_unsent.clear();
            m_unsentAt = 0;
        } else if (m_unsentAt > m_unsent.size() / 2) {
            m_unsent.remove(0, m_unsentAt);
            m_unsentAt = 0;
        }
        return;
    }
    const qint64 n = wire::sendNow(m_fd, bytes.data(), bytes.size());
    if (n < 0) m_gone = true;
    else if (n < bytes.size()) m_unsent.append(bytes.data() + n, bytes.size() - n);
}

bool PieceSender::piece(const QVector<QString> &refs, QByteArrayView packetBytes)
{
    QByteArray head;
    if (!m_started) {
        wire::Reply r;
        r.refs = refs;
        head = wire::replyHead(r);
    }
    const qint64 length = head.size() + packetBytes.size();
    // Refused here rather than sent: the client would take it all, then refuse it.
    if (m_payload + length > m_cap) return false;
    if (m_clientGone && m_clientGone->load()) m_gone = true;
    if (m_gone) return false;
    m_started = true;
    m_payload += length;
    m_frameBytes += 4 + length;
    send(lengthWord(wire::kPieceBit, length) + head);
    send(packetBytes);
    return !m_gone;
}

QByteArray PieceSender::finish(const wire::Reply &r, wire::Reply *failed)
{
    QByteArray last;
    if (r.ok() && m_payload + r.packetCbor.size() <= m_cap) {
        last = lengthWord(0, r.packetCbor.size()) + r.packetCbor;
    } else {
        *failed = r.ok() ? errorReply(wire::ErrorCode::BadValue, QString::fromUtf8(wire::kReplyTooLargeMessage)) : r;
        const QByteArray error = wire::encodeReply(*failed);
        last = lengthWord(wire::kAbandonBit, error.size()) + error;
    }
    m_frameBytes += last.size();
    if (m_gone) return {};
    QByteArray out = m_unsent.mid(m_unsentAt);
    out += last;
    m_unsent.clear();
    m_unsentAt = 0;
    return out;
}

}  // namespace appsrv
