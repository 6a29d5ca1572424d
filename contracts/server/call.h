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
    bool ok() const { return error == ErrorCode::None; }
};

// First frame of a connection.
struct Hello {
    QString token;
};

constexpr int kMaxFrameBytes = 64 * 1024 * 1024;
// What a caller is told of a reply over the cap, refused before it is sent.
constexpr const char *kReplyTooLargeMessage = "Consulta grande demais; restrinja o período ou os critérios.";
constexpr int kMaxCallFrameBytes = 1024 * 1024;

}  // namespace wire
