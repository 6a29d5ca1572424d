#pragma once
// Remote calls and replies exchanged between the host and the application server.
#include "datapacket.h"

namespace wire {

enum class ArgKind : quint8 { Text = 1, TextRef = 2, Date = 3 };

struct Arg {
    ArgKind kind = ArgKind::Text;
    QString text;        // Text and TextRef
    double date = 0;     // Date (OLE date)
    bool dateEmpty = false;
};

struct Call {
    QString object;
    QString method;
    QVector<Arg> args;
};

// Error codes of an error reply.
enum class ErrorCode : int {
    None = 0,
    BadFrame = 1,
    UnknownObject = 2,
    UnknownMethod = 3,
    BadArguments = 4,
    NotAuthenticated = 5,
    Database = 6,
    BadValue = 7,
    Transport = 8,
    Internal = 9,
};

struct Reply {
    ErrorCode error = ErrorCode::None;
    QString message;          // Portuguese text of the error
    QVector<QString> refs;    // by-reference values, in argument order
    DataPacket packet;
    // The packet already encoded (server side, large packets); used instead of packet.
    QByteArray packetCbor;
    // Rows of a packet that went out already encoded (server side, for the log); -1: packet's.
    qint64 rows = -1;
    bool ok() const { return error == ErrorCode::None; }
};

// First frame of a connection.
struct Hello {
    QString token;
    // The client reads a large reply in pieces (see kPieceBit); an older one
    // does not say so and always gets whole frames.
    bool pieces = false;
    // The operator logging in and its password, where the server's database
    // decides who sees what (a desktop on PostgreSQL); empty otherwise.
    QString operatorName;
    QString password;
};
// Bounds of a hello's operator: a code of OPERADOR (upper-case letters, digits,
// "_"), which is also the name of its database role.
constexpr int kOperatorNameMax = 12;
constexpr int kPasswordMax = 1024;

// The length word of a frame: the payload's length in its low 30 bits and
// two marks above, which only a client that took pieces in its hello sees.
// A large reply may leave in pieces while the server still reads its rows:
// each piece but the last carries kPieceBit; every piece ends where a row
// ends, the first holds the reply's head (by-reference values, the fields).
// A reply that fails after pieces went out ends with a frame marked
// kAbandonBit: the pieces before it are void and it is a whole reply, the
// error, so a failure is never read as a shorter success.
constexpr quint32 kPieceBit = 0x80000000u;
constexpr quint32 kAbandonBit = 0x40000000u;
constexpr quint32 kLengthMask = 0x3FFFFFFFu;

// Where a reply's packet goes while it is being made (server side).
class ReplySink {
public:
    virtual ~ReplySink() = default;
    // The next bytes of the packet, ending where a row ends, of a reply whose
    // by-reference values are refs. False: make no more of it (the reply
    // passed its cap, or its client went away).
    virtual bool piece(const QVector<QString> &refs, QByteArrayView packetBytes) = 0;
};

constexpr int kMaxFrameBytes = 64 * 1024 * 1024;
// What a caller is told of a reply over the cap, refused before it is sent.
constexpr const char *kReplyTooLargeMessage = "Consulta grande demais; restrinja o período ou os critérios.";
constexpr int kMaxCallFrameBytes = 1024 * 1024;

}  // namespace wire
