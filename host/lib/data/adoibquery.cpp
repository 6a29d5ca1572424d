#include "adoibquery.h"
#include "codec.h"
#include "dispatch.h"
#include "dbconnect.h"
#include <cmath>

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace host {

namespace {
const char *kShared = "dtmDBGeral";
}

QSqlDatabase openDatabase(const QString &url, const QString &name, bool readOnly)
{
    try {
        return dbconnect::open(url, name, readOnly);
    } catch (const dbconnect::Error &e) {
        throw EHostError(QString::fromUtf8(e.what()));
    }
}

void openSharedDatabase(const QString &url)
{
    closeSharedDatabase();
    openDatabase(url, QLatin1String(kShared), true);
}

void closeSharedDatabase() { dbconnect::close(QLatin1String(kShared)); }

QSqlDatabase sharedDatabase() { return QSqlDatabase::database(QLatin1String(kShared), false); }

QString databaseKind(const QSqlDatabase &db) { return dbconnect::kind(db); }

}  // namespace host

TADOIBQuery::TADOIBQuery(QObject *parent, const QString &name) : TClientDataSet(parent, name) {}

void TADOIBQuery::SetSQL(const QString &sql) { m_sql = sql; }
void TADOIBQuery::SetSQLFor(const QString &kind, const QString &sql) { m_sqlByKind[kind] = sql; }
QString TADOIBQuery::SQLFor(const QString &kind) const { return m_sqlByKind.value(kind, m_sql); }
void TADOIBQuery::SetParam(const QString &name, const QString &value) { m_params[name] = value; }

void TADOIBQuery::Open()
{
    QSqlDatabase db = host::sharedDatabase();
    if (!db.isOpen())
        throw host::EHostError(QStringLiteral("%1: não há conexão com o banco de dados.").arg(objectName()));
    const QString sql = SQLFor(host::databaseKind(db));
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw host::EHostError(QStringLiteral("%1: %2").arg(objectName(), q.lastError().text()));
    for (auto it = m_params.cbegin(); it != m_params.cend(); ++it)
        q.bindValue(QLatin1Char(':') + it.key(), it.value());
    if (!q.exec())
        throw host::EHostError(QStringLiteral("%1: %2").arg(objectName(), q.lastError().text()));
    ++m_opens;
    wire::DataPacket p;
    p.fields = Layout();
    QVector<int> col;
    const QSqlRecord rec = q.record();
    for (TField *f : Fields()) col << rec.indexOf(f->FieldName());
    while (q.next()) {
        wire::Row r(p.fields.size());
        for (int i = 0; i < p.fields.size(); ++i) {
            if (col[i] < 0) continue;
            const QVariant v = q.value(col[i]);
            if (v.isNull()) continue;
            switch (p.fields[i].kind) {
            case wire::FieldKind::Float: r[i] = v.toDouble(); break;
            case wire::FieldKind::DateTime: {
                const double ole = wire::oleFromSql(v);
                if (!std::isnan(ole)) r[i] = ole;
                break;
            }
            default: r[i] = v.toString();
            }
        }
        p.rows.push_back(std::move(r));
    }
    LoadFromPacket(p);
}
