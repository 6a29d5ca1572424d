#include "statusobject.h"

#include <QSqlError>
#include <QSqlQuery>

namespace appsrv {

wire::Reply StatusObject::invoke(const QString &, const QVector<wire::Arg> &, QSqlDatabase &db)
{
    wire::Reply r;
    if (db.driverName() != QLatin1String("QPSQL")) {
        r.refs = {QStringLiteral("sqlite"), QString()};
        return r;
    }
    // The replay timestamp alone grows while the primary is idle; a standby
    // that has replayed everything it received is not behind.
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT pg_is_in_recovery(), CASE WHEN NOT pg_is_in_recovery() THEN NULL "
                               "WHEN pg_last_wal_receive_lsn() = pg_last_wal_replay_lsn() THEN 0 "
                               "ELSE EXTRACT(EPOCH FROM now() - pg_last_xact_replay_timestamp()) END")) ||
        !q.next())
        throw DatabaseFailure(q.lastError().text().toStdString());
    const bool standby = q.value(0).toBool();
    r.refs = {standby ? QStringLiteral("replica") : QStringLiteral("primario"),
              standby ? QString::number(q.value(1).toDouble(), 'f', 1) : QString()};
    return r;
}

}  // namespace appsrv
