#include "dbconnect.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>

namespace dbconnect {

QString withCredentials(const QString &url, const QString &user, const QString &password)
{
    QUrl u(url);
    u.setUserName(user);
    u.setPassword(password);
    return u.toString();
}

QSqlDatabase open(const QString &url, const QString &name, Mode mode)
{
    const bool readOnly = mode == Mode::ReadOnly;
    QSqlDatabase db;
    if (url.startsWith(QLatin1String("sqlite:"))) {
        const QString path = url.mid(7);
        if (mode != Mode::Create && path != QLatin1String(":memory:") && !QFileInfo::exists(path))
            throw Error(QStringLiteral("Arquivo de banco de dados '%1' não encontrado.").arg(path).toStdString());
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (readOnly) db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
    } else if (url.startsWith(QLatin1String("postgresql://")) || url.startsWith(QLatin1String("postgres://"))) {
        const QUrl u(url);
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(u.host().isEmpty() ? QStringLiteral("127.0.0.1") : u.host());
        db.setPort(u.port(5432));
        db.setUserName(u.userName());
        db.setPassword(u.password());
        db.setDatabaseName(u.path().mid(1));
        // A database that does not answer is given up on after connect_timeout
        // seconds (10 unless the URL says ?connect_timeout=N).
        const QUrlQuery query(u);
        const int connectTimeout = query.hasQueryItem(QStringLiteral("connect_timeout"))
                                       ? query.queryItemValue(QStringLiteral("connect_timeout")).toInt()
                                       : 10;
        // A database host that vanishes (network down, machine off) is noticed
        // by TCP keepalives within about half a minute instead of never.
        QString options = QStringLiteral("keepalives=1;keepalives_idle=10;keepalives_interval=5;keepalives_count=3;"
                                         "tcp_user_timeout=30000");
        if (connectTimeout > 0) options += QStringLiteral(";connect_timeout=%1").arg(connectTimeout);
        db.setConnectOptions(options);
    } else {
        throw Error(QStringLiteral("Banco de dados não reconhecido: '%1'. Use sqlite:CAMINHO ou postgresql://...")
                        .arg(url).toStdString());
    }
    if (!db.open()) {
        const QString why = db.lastError().text();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        throw Error(QStringLiteral("Não foi possível abrir o banco de dados: %1").arg(why).toStdString());
    }
    if (readOnly && kind(db) == QLatin1String("postgresql")) {
        // A read-only session is a promise the caller relies on: checked, not assumed.
        QSqlQuery q(db);
        // No statement runs longer than statement_timeout seconds (60 unless
        // the URL says ?statement_timeout=N; 0: no limit).
        const QUrlQuery query{QUrl(url)};
        const int statementTimeout = query.hasQueryItem(QStringLiteral("statement_timeout"))
                                         ? query.queryItemValue(QStringLiteral("statement_timeout")).toInt()
                                         : 60;
        if (statementTimeout > 0) q.exec(QStringLiteral("SET statement_timeout = %1").arg(qint64(statementTimeout) * 1000));
        const bool set = q.exec(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY")) &&
                         q.exec(QStringLiteral("SHOW transaction_read_only")) && q.next() &&
                         q.value(0).toString() == QLatin1String("on");
        if (!set) {
            q = QSqlQuery();
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            throw Error("A sessão do banco de dados não pôde ser posta em modo somente leitura.");
        }
    }
    return db;
}

QString kind(const QSqlDatabase &db)
{
    return db.driverName() == QLatin1String("QPSQL") ? QStringLiteral("postgresql") : QStringLiteral("sqlite");
}

void close(const QString &name)
{
    if (!QSqlDatabase::contains(name)) return;
    { QSqlDatabase::database(name, false).close(); }
    QSqlDatabase::removeDatabase(name);
}

QString roleOf(const QSqlDatabase &db)
{
    if (kind(db) != QLatin1String("postgresql")) return {};
    QSqlQuery q(db);
    return q.exec(QStringLiteral("SELECT current_user")) && q.next() ? q.value(0).toString() : QString();
}

QStringList writableTables(const QSqlDatabase &db)
{
    QStringList out;
    if (kind(db) != QLatin1String("postgresql")) return out;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral(
            "SELECT c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
            "WHERE n.nspname = current_schema() AND c.relkind IN ('r', 'p') "
            "AND (has_table_privilege(c.oid, 'INSERT') OR has_table_privilege(c.oid, 'UPDATE') "
            "OR has_table_privilege(c.oid, 'DELETE')) ORDER BY c.relname")))
        return out;
    while (q.next()) out << q.value(0).toString().toUpper();
    return out;
}

}  // namespace dbconnect
