#pragma once
// A server object hosted by the application server: a method table and an
// entry that answers one call on the calling thread's database connection.
#include "call.h"
#include <QSqlDatabase>
#include <QVector>
#include <stdexcept>

namespace appsrv {

// A failure of the database under a call: the server logs its text, answers the
// caller with a reference, and reopens a session that was lost.
struct DatabaseFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class ServerObject {
public:
    virtual ~ServerObject() = default;
    virtual QString name() const = 0;
    // A statement that must run on a session for this object to work (its
    // tables exist); checked on every session at start. Empty: none.
    virtual QString probe() const { return {}; }
    // Argument kinds per method; texts by value and by reference are interchangeable.
    virtual QVector<QPair<QString, QVector<wire::ArgKind>>> methods() const = 0;
    // Called with arguments already checked against the method table.
    virtual wire::Reply invoke(const QString &method, const QVector<wire::Arg> &args, QSqlDatabase &db) = 0;
    // The same, where a large packet may leave through sink while it is made;
    // the reply returned then holds the packet's bytes not yet given to it.
    virtual wire::Reply invokeStreaming(const QString &method, const QVector<wire::Arg> &args, QSqlDatabase &db,
                                        wire::ReplySink *sink)
    {
        (void)sink;
        return invoke(method, args, db);
    }
};

// A caller's text as quoted back in a message: never more than a few words of it.
inline QString quoted(const QString &text)
{
    constexpr int kShown = 40;
    return text.size() <= kShown ? text : text.left(kShown) + QStringLiteral("…");
}

// An error reply.
inline wire::Reply errorReply(wire::ErrorCode code, const QString &message)
{
    wire::Reply r;
    r.error = code;
    r.message = message;
    return r;
}

}  // namespace appsrv
