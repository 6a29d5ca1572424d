#pragma once
// Opens a database connection from "sqlite:PATH" or "postgresql://user:pw@host:port/db".
#include <QSqlDatabase>
#include <QString>
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

}  // namespace dbconnect
