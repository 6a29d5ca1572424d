#pragma once
// An operator's login, checked by the database itself: a session opened as the
// operator's role with its password (libpq's SCRAM). Only where the database
// decides who sees what: PostgreSQL with the company grants of db/security.sql.
#include <QSqlDatabase>
#include <QString>

namespace appsrv {

// A code of OPERADOR, which is also its role's name: upper-case letters,
// digits and "_", at most kOperatorNameMax characters.
bool isOperatorName(const QString &name);

// Whether the database behind this session holds the company grants, so that
// every connection must log in as an operator.
bool databaseHasOperators(const QSqlDatabase &db);

enum class LoginResult {
    Ok,
    Refused,        // no such role, wrong password, or a role that may not log in
    NotServerRole,  // the server's role may not act as the operator (SET ROLE)
    Unavailable     // the database did not answer the server either
};

// Opens and closes a session as the operator (blocking: run it off the event
// loop). serverRole: the role the workers' sessions log in as, which must be
// a member of the operator's role; detail: what went wrong, for the log.
LoginResult verifyOperator(const QString &databaseUrl, const QString &serverRole, const QString &name,
                           const QString &password, QString *detail);

}  // namespace appsrv
