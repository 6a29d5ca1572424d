#pragma once
// Opens a database connection from "sqlite:PATH" or "postgresql://user:pw@host:port/db".
#include <QSqlDatabase>
#include <QString>
#include <stdexcept>

namespace dbconnect {

struct Error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Throws Error with a Portuguese reason.
QSqlDatabase open(const QString &url, const QString &connectionName, bool readOnly);
QString kind(const QSqlDatabase &db);  // "sqlite" or "postgresql"
void close(const QString &connectionName);

}  // namespace dbconnect
