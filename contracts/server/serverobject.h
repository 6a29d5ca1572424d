#pragma once
// A server object hosted by the application server: a method table and an
// entry that answers one call on the calling thread's database connection.
#include "call.h"
#include <QSqlDatabase>
#include <QVector>

namespace appsrv {

class ServerObject {
public:
    virtual ~ServerObject() = default;
    virtual QString name() const = 0;
    // Argument kinds per method; texts by value and by reference are interchangeable.
    virtual QVector<QPair<QString, QVector<wire::ArgKind>>> methods() const = 0;
    // Called with arguments already checked against the method table.
    virtual wire::Reply invoke(const QString &method, const QVector<wire::Arg> &args, QSqlDatabase &db) = 0;
};

// An error reply.
inline wire::Reply errorReply(wire::ErrorCode code, const QString &message)
{
    wire::Reply r;
    r.error = code;
    r.message = message;
    return r;
}

}  // namespace appsrv
