#include "adoibquery.h"
#include "codec.h"
#include "dispatch.h"
#include <cmath>

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>

namespace host {

namespace {
const char *kShared = "dtmDBGeral";
}

QSqlDatabase openDatabase(const QString &url, const QString &name, bool readOnly)
{
    QSqlDatabase db;
    if (url.startsWith(QLatin1String("sqlite:"))) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(url.mid(7));
        if (readOnly) db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
    } else if (url.startsWith(QLatin1String("postgresql://")) || url.startsWith(QLatin1String("postgres://"))) {
        const QUrl u(url);
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(u.host().isEmpty() ? QStringLiteral("127.0.0.1") : u.host());
        db.setPort(u.port(5432));
        db.setUserName(u.userName());
        db.setPassword(u.password());
        db.setDatabaseName(u.path().mid(1));
    } else {
        throw EHostError(QStringLiteral("Banco de dados não reconhecido: '%1'. Use sqlite:CAMINHO ou postgresql://...").arg(url));
    }
    if (!db.open()) {
        const QString why = db.lastError().text();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        throw EHostError(QStringLiteral("Não foi possível abrir o banco de dados: %1").arg(why));
    }
    if (readOnly && databaseKind(db) == QLatin1String("postgresql"))
        QSqlQuery(db).exec(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"));
    return db;
}

void openSharedDatabase(const QString &url)
{
    closeSharedDatabase();
    openDatabase(url, QLatin1String(kShared), true);
}

void closeSharedDatabase()
{
    if (!QSqlDatabase::contains(QLatin1String(kShared))) return;
    { QSqlDatabase::database(QLatin1String(kShared), false).close(); }
    QSqlDatabase::removeDatabase(QLatin1String(kShared));
}

QSqlDatabase sharedDatabase() { return QSqlDatabase::database(QLatin1String(kShared), false); }

QString databaseKind(const QSqlDatabase &db)
{
    return db.driverName() == QLatin1String("QPSQL") ? QStringLiteral("postgresql") : QStringLiteral("sqlite");
}

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
    QVector<int> col;
    const QSqlRecord rec = q.record();
    for (TField *f : Fields()) {
        wire::FieldKind k = wire::FieldKind::String;
        if (f->Kind() == TFieldKind::Float) k = wire::FieldKind::Float;
        else if (f->Kind() == TFieldKind::DateTime) k = wire::FieldKind::DateTime;
        else if (f->Kind() == TFieldKind::FixedString) k = wire::FieldKind::FixedString;
        p.fields.push_back({f->FieldName(), k, f->Size()});
        col << rec.indexOf(f->FieldName());
    }
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
