#pragma once
// Frames on a socket: a 4-byte big-endian length, then the payload. Plain
// sockets are read and written on their descriptor.
#include "call.h"
#include <QByteArray>
#include <functional>

class QIODevice;

namespace wire {

enum class ReadStatus { Ok, Closed, TooLarge, Timeout, Unreadable };
// Blocking read of one frame; waits at most msecs for any chunk, and in all
// msecs plus a second for every 4 KB that came (-1: forever).
ReadStatus readFrame(QIODevice *dev, QByteArray *payload, int maxBytes, int msecs);
// Blocking read of one reply, whole or in pieces (for a client that said in
// its hello it takes them), each piece's rows decoded as it arrives; onPiece
// sees the reply so far after each piece. Unreadable: *why says why; the
// connection then holds an unknown rest and cannot serve another call.
// msecs as for readFrame, over the whole reply.
ReadStatus readReply(QIODevice *dev, Reply *out, int msecs, QString *why,
                     const std::function<void(Reply &)> &onPiece = {});
bool writeFrame(QIODevice *dev, const QByteArray &payload, int msecs);
// Whether bytes (or the peer's close) are on fd within spinNs, looked for
// awake and giving the processor to any thread with work: bytes that come
// that soon then cost no wake-up of a sleeping thread.
bool arrivesWithin(int fd, qint64 spinNs);
// Sends on a non-blocking socket what it takes now, without waiting: the
// bytes sent, or -1 when the connection is broken.
qint64 sendNow(int fd, const char *data, qint64 n);
// What an idle connection holds, looked at without waiting: nothing (open),
// bytes nobody asked for, or the peer's close. Unknown where Qt's own path
// must be taken (TLS, bytes Qt buffered): the caller looks its own way.
enum class IdleState { Open, Unread, Closed, Unknown };
IdleState idleState(QIODevice *dev);
// Writes a reply frame; a pre-encoded packet is written without being copied.
bool writeReply(QIODevice *dev, const Reply &r, int msecs);

}  // namespace wire
