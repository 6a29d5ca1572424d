#pragma once
// CBOR encoding of calls, replies and data packets, and 4-byte big-endian
// length-prefixed framing.
#include "call.h"
#include <QByteArray>
#include <QStringEncoder>
#include <memory>
#include <optional>

class QBuffer;
class QCborStreamWriter;

class QIODevice;

namespace wire {

QByteArray encodeCall(const Call &c);
QByteArray encodeReply(const Reply &r);
QByteArray encodeHello(const Hello &h);
// Decoders return nullopt on a malformed item and put a reason in *why.
std::optional<Call> decodeCall(const QByteArray &cbor, QString *why = nullptr);
std::optional<Reply> decodeReply(const QByteArray &cbor, QString *why = nullptr);
std::optional<Hello> decodeHello(const QByteArray &cbor);

QByteArray frame(const QByteArray &payload);

// Writes a data packet item row by row, for packets too large to build first.
class PacketWriter {
public:
    PacketWriter(QByteArray *out, const QVector<FieldDef> &fields);
    ~PacketWriter();
    void beginRow();
    void cell(int field, const QVariant &v);  // typed by the field's kind
    void text(const QString &s);
    void number(double d);
    void null();
    void finish();
private:
    std::unique_ptr<QBuffer> m_dev;
    std::unique_ptr<QCborStreamWriter> m_w;
    QVector<FieldDef> m_fields;
    QByteArray m_utf8;
    QStringEncoder m_encoder{QStringEncoder::Utf8};
    bool m_inRow = false;
};

enum class ReadStatus { Ok, Closed, TooLarge, Timeout };
// Blocking read of one frame; waits at most msecs for each chunk (-1: forever).
ReadStatus readFrame(QIODevice *dev, QByteArray *payload, int maxBytes, int msecs);
bool writeFrame(QIODevice *dev, const QByteArray &payload, int msecs);
// Sends on a non-blocking socket what it takes now, without waiting: the
// bytes sent, or -1 when the connection is broken.
qint64 sendNow(int fd, const char *data, qint64 n);
// Writes a reply frame; a pre-encoded packet is written without being copied.
bool writeReply(QIODevice *dev, const Reply &r, int msecs);
// The reply up to its packet: the map header, the by-reference values and the key "p".
QByteArray replyHead(const Reply &r);
// A whole reply frame (length and reply) in one buffer, to be written at once;
// a pre-encoded packet goes in behind its head.
QByteArray replyFrame(const Reply &r);

// OLE dates (days since 1899-12-30, fraction = time of day).
double toOleDate(const QDateTime &dt);
double toOleDate(const QDate &d);
QDateTime fromOleDate(double ole);
// OLE date of a database value (QDateTime, QDate or ISO text); NaN when empty or unreadable.
double oleFromSql(const QVariant &v);

}  // namespace wire
