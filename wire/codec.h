#pragma once
// CBOR encoding of calls, replies and data packets, and 4-byte big-endian
// length-prefixed framing.
#include "call.h"
#include <QByteArray>
#include <optional>

class QIODevice;

namespace wire {

QByteArray encodeCall(const Call &c);
QByteArray encodeReply(const Reply &r);
QByteArray encodeHello(const Hello &h);
// Decoders return nullopt on a malformed item and put a reason in *why.
std::optional<Call> decodeCall(const QByteArray &cbor, QString *why = nullptr);
std::optional<Reply> decodeReply(const QByteArray &cbor, QString *why = nullptr);
std::optional<Hello> decodeHello(const QByteArray &cbor);
// True when the item is a hello frame rather than a call.
bool isHello(const QByteArray &cbor);

QByteArray frame(const QByteArray &payload);

enum class ReadStatus { Ok, Closed, TooLarge, Timeout };
// Blocking read of one frame; waits at most msecs for each chunk (-1: forever).
ReadStatus readFrame(QIODevice *dev, QByteArray *payload, int maxBytes, int msecs);
bool writeFrame(QIODevice *dev, const QByteArray &payload, int msecs);

// OLE dates (days since 1899-12-30, fraction = time of day).
double toOleDate(const QDateTime &dt);
double toOleDate(const QDate &d);
QDateTime fromOleDate(double ole);
// OLE date of a database value (QDateTime, QDate or ISO text); NaN when empty or unreadable.
double oleFromSql(const QVariant &v);

}  // namespace wire
