#pragma once
// CBOR encoding of the messages: hello, call, reply (with its data packet).
#include "call.h"
#include <QByteArray>
#include <optional>

namespace wire {

QByteArray encodeCall(const Call &c);
QByteArray encodeReply(const Reply &r);
QByteArray encodeHello(const Hello &h);
// Decoders return nullopt on a malformed item and put a reason in *why.
std::optional<Call> decodeCall(const QByteArray &cbor, QString *why = nullptr);
std::optional<Reply> decodeReply(const QByteArray &cbor, QString *why = nullptr);
std::optional<Hello> decodeHello(const QByteArray &cbor);

// A reply read in pieces (see kPieceBit): each piece's rows are decoded as
// it comes, so the client works while the server still reads.
class PieceDecoder {
public:
    // The next piece; last: the frame without kPieceBit. False with *why when
    // the bytes are not the next piece of a reply.
    bool add(const QByteArray &piece, bool last, QString *why);
    // The by-reference values, the fields and the rows so far; rows already
    // used may be taken out between pieces.
    Reply &reply() { return m_reply; }
private:
    Reply m_reply;
    bool m_headRead = false, m_ended = false;
};

// A frame's 4-byte big-endian length word: the length and its marks (kPieceBit, kAbandonBit).
QByteArray lengthWord(quint32 marks, qsizetype length);
// A payload behind its 4-byte big-endian length.
QByteArray frame(const QByteArray &payload);
// The reply up to its packet: the map header, the by-reference values and the key "p".
QByteArray replyHead(const Reply &r);
// A whole reply frame (length and reply) in one buffer, to be written at once;
// a pre-encoded packet goes in behind its head.
QByteArray replyFrame(const Reply &r);

}  // namespace wire
