#include "operatorlogin.h"
#include "call.h"
#include "dbconnect.h"

#include <QAtomicInt>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace appsrv {

bool isOperatorName(const QString &name)
{
    static const QRegularExpression code(QStringLiteral("^[A-Z0-9_]{1,%1}$").arg(wire::kOperatorNameMax));
    return code.match(name).hasMatch();
}

bool databaseHasOperators(const QSqlDatabase &db)
{
    if (dbconnect::kind(db) != QLatin1String("postgresql")) return false;
    QSqlQuery q(db);
    return q.exec(QStringLiteral("SELECT to_regclass('operadorempresa') IS NOT NULL")) && q.next() && q.value(0).toBool();
}

LoginResult verifyOperator(const QString &databaseUrl, const QString &serverRole, const QString &name,
                           const QString &password, QString *detail)
{
    static QAtomicInt serial;
    const QString connection = QStringLiteral("appserver-login-%1").arg(serial.fetchAndAddRelaxed(1));
    LoginResult result = LoginResult::Ok;
    try {
        QSqlDatabase db = dbconnect::open(dbconnect::withCredentials(databaseUrl, name, password), connection,
                                          dbconnect::Mode::ReadOnly);
        if (!serverRole.isEmpty()) {
            QSqlQuery q(db);
            q.prepare(QStringLiteral("SELECT pg_has_role(:server, current_user, 'MEMBER')"));
            q.bindValue(QStringLiteral(":server"), serverRole);
            if (!q.exec() || !q.next() || !q.value(0).toBool()) {
                *detail = QStringLiteral("the server's role %1 is not a member of %2 (db/operator.sql grants it)")
                              .arg(serverRole, name);
                result = LoginResult::NotServerRole;
            }
        }
    } catch (const dbconnect::Error &e) {
        *detail = QString::fromUtf8(e.what());
        result = LoginResult::Refused;
    }
    dbconnect::close(connection);
    if (result != LoginResult::Refused) return result;
    // A database that does not answer the server either is not a wrong password.
    try {
        dbconnect::open(databaseUrl, connection, dbconnect::Mode::ReadOnly);
    } catch (const dbconnect::Error &) {
        result = LoginResult::Unavailable;
    }
    dbconnect::close(connection);
    return result;
}

}  // namespace appsrv
