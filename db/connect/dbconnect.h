#pragma once
// Opens a database connection from "sqlite:PATH" or "postgresql://user:pw@host:port/db".
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <stdexcept>

namespace dbconnect {

struct Error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

enum class Mode { ReadOnly, ReadWrite, Create };  // Create: a missing SQLite file is made

// Throws Error with a Portuguese reason.
QSqlDatabase open(const QString &url, const QString &connectionName, Mode mode);
inline QSqlDatabase open(const QString &url, const QString &connectionName, bool readOnly)
{
    return open(url, connectionName, readOnly ? Mode::ReadOnly : Mode::ReadWrite);
}
QString kind(const QSqlDatabase &db);  // "sqlite" or "postgresql"
void close(const QString &connectionName);
// PostgreSQL: the session's role and the tables of its schema that role may
// insert into, update or delete from (ownership and inherited grants count).
// SQLite has no roles: nothing.
QString roleOf(const QSqlDatabase &db);
// A PostgreSQL URL whose user and password are those given (the rest kept).
QString withCredentials(const QString &url, const QString &user, const QString &password);
QStringList writableTables(const QSqlDatabase &db);

}  // namespace dbconnect
