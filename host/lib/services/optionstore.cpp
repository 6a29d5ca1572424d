#include "optionstore.h"
#include "hostcontext_p.h"
#include "adoibquery.h"
#include "dispatch.h"
#include "hostlog.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QSqlError>
#include <QSqlQuery>

namespace host {
namespace {


const char *const kCreate = "CREATE TABLE IF NOT EXISTS OPCAOSALVA (\n"
                            "  CDTELA        VARCHAR(20)  NOT NULL,\n"
                            "  CDOPERADOR    VARCHAR(12)  NOT NULL,\n"
                            "  DSOPCSALVA    VARCHAR(40)  NOT NULL,\n"
                            "  NRLINHA       INTEGER      NOT NULL,\n"
                            "  STVARIAVEL    TEXT,\n"
                            "  NMCOMPONENTE  VARCHAR(100),\n"
                            "  DSVALOR       TEXT,\n"
                            "  DTGRAVACAO    TIMESTAMP    NOT NULL,\n"
                            "  PRIMARY KEY (CDTELA, CDOPERADOR, DSOPCSALVA, NRLINHA)\n"
                            ")";

[[noreturn]] void fail(const char *what, const QSqlError &e)
{
    qCWarning(lcHost) << "option store:" << what << e.text();
    throw EHostError(QStringLiteral("Não foi possível acessar as opções salvas no banco de dados."));
}

void exec(QSqlQuery &q, const char *what)
{
    if (!q.exec()) fail(what, q.lastError());
}

}  // namespace

OptionStore *optionStore() { return context().options ? context().options : &context().sessionOptions; }
void setOptionStore(OptionStore *s) { context().options = s; }

DatabaseOptionStore::DatabaseOptionStore(const QString &url)
{
    static QAtomicInt serial;
    m_connection = QStringLiteral("dtmOpcoes%1").arg(serial.fetchAndAddRelaxed(1));
    QSqlDatabase db = openDatabase(url, m_connection, false);
    // Databases made before the table existed get it here; a role that may not
    // create tables finds out on first use.
    // (An operator's role may not create tables: it is only asked when the table is missing.)
    const bool there = db.tables().contains(QStringLiteral("OPCAOSALVA"), Qt::CaseInsensitive);
    QSqlQuery q(db);
    if (!there && !q.exec(QString::fromLatin1(kCreate)))
        qCWarning(lcHost) << "option store: create table:" << q.lastError().text();
}

DatabaseOptionStore::~DatabaseOptionStore()
{
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

QStringList DatabaseOptionStore::names(const QString &screen, const QString &op)
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT DSOPCSALVA, MAX(DTGRAVACAO) FROM OPCAOSALVA WHERE CDTELA = ? AND CDOPERADOR = ? "
                             "GROUP BY DSOPCSALVA ORDER BY 2 DESC, 1"));
    q.addBindValue(screen);
    q.addBindValue(op);
    exec(q, "names");
    QStringList out;
    while (q.next()) out << q.value(0).toString();
    if (q.lastError().isValid()) fail("names", q.lastError());
    return out;
}

OptionSet DatabaseOptionStore::load(const QString &screen, const QString &op, const QString &name)
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT STVARIAVEL, NMCOMPONENTE, DSVALOR FROM OPCAOSALVA "
                             "WHERE CDTELA = ? AND CDOPERADOR = ? AND DSOPCSALVA = ? ORDER BY NRLINHA"));
    q.addBindValue(screen);
    q.addBindValue(op);
    q.addBindValue(name);
    exec(q, "load");
    OptionSet set;
    while (q.next()) {
        const QString line = q.value(0).toString(), comp = q.value(1).toString(), value = q.value(2).toString();
        // Whatever does not fit is left out, never cut.
        if (line.size() > kOptionValueMax || value.size() > kOptionValueMax) {
            qCWarning(lcHost) << "option store: value too long left out of" << name;
            continue;
        }
        if (!line.isEmpty()) set.variables << line;
        else if (!comp.isEmpty()) set.components.push_back({comp, value});
    }
    if (q.lastError().isValid()) fail("load", q.lastError());
    return set;
}

void DatabaseOptionStore::save(const QString &screen, const QString &op, const QString &name, const OptionSet &set)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction()) fail("begin", db.lastError());
    try {
        QSqlQuery del(db);
        del.prepare(QStringLiteral("DELETE FROM OPCAOSALVA WHERE CDTELA = ? AND CDOPERADOR = ? AND DSOPCSALVA = ?"));
        del.addBindValue(screen);
        del.addBindValue(op);
        del.addBindValue(name);
        exec(del, "replace");
        QSqlQuery ins(db);
        ins.prepare(QStringLiteral("INSERT INTO OPCAOSALVA (CDTELA, CDOPERADOR, DSOPCSALVA, NRLINHA, STVARIAVEL, "
                                   "NMCOMPONENTE, DSVALOR, DTGRAVACAO) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
        const QDateTime now = QDateTime::currentDateTime();
        int line = 0;
        const auto put = [&](const QVariant &variable, const QVariant &component, const QVariant &value) {
            ins.addBindValue(screen);
            ins.addBindValue(op);
            ins.addBindValue(name);
            ins.addBindValue(++line);
            ins.addBindValue(variable);
            ins.addBindValue(component);
            ins.addBindValue(value);
            ins.addBindValue(now);
            exec(ins, "insert");
        };
        const QVariant none(QMetaType::fromType<QString>());
        for (const QString &v : set.variables) put(v, none, none);
        for (const auto &[comp, value] : set.components) put(none, comp, value);
        // A set with nothing in it still exists under its name.
        if (line == 0) put(none, none, none);
        if (!db.commit()) fail("commit", db.lastError());
    } catch (...) {
        db.rollback();
        throw;
    }
}

void DatabaseOptionStore::remove(const QString &screen, const QString &op, const QString &name)
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("DELETE FROM OPCAOSALVA WHERE CDTELA = ? AND CDOPERADOR = ? AND DSOPCSALVA = ?"));
    q.addBindValue(screen);
    q.addBindValue(op);
    q.addBindValue(name);
    exec(q, "remove");
}

}  // namespace host
