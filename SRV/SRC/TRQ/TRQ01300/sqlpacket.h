#pragma once
#include "packetwriter.h"
// Building data packets from statements, with filters bound as parameters.
#include "datapacket.h"
#include "serverobject.h"
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QVariantMap>
#include <stdexcept>

namespace trq01300 {

// A database failure, reported to the caller as an error reply.
struct DbError : appsrv::DatabaseFailure {
    using appsrv::DatabaseFailure::DatabaseFailure;
};
// A value the caller sent that cannot be served; its text goes to the caller.
struct BadValue : std::runtime_error {
    explicit BadValue(const QString &m) : std::runtime_error(m.toStdString()) {}
};

// Most codes one selection may hold.
constexpr int kMaxSelectionCodes = 100000;
using appsrv::quoted;

// WHERE clauses with their bound values.
class Filter {
public:
    void add(const QString &clause) { m_clauses << clause; }
    QString bind(const QVariant &v);  // returns the placeholder
    // column IN (codes); no codes matches nothing. The codes travel as one
    // bound list, so the cost grows with their number, not its square.
    void addIn(const QString &column, const QStringList &codes);
    // A row matches when any column is in its codes; no codes at all matches nothing.
    void addAnyIn(const QVector<QPair<QString, QStringList>> &columnCodes);
    // Restricts by the codes of a selection unless the flag is "T".
    void addSelection(const QString &column, const QString &selection, const QString &flag);
    QString where() const;
    // The statement for the database's kind, with its values bound.
    QString sqlFor(const QSqlDatabase &db, const QString &sql) const;
    void applyTo(QSqlQuery &q, const QSqlDatabase &db) const;
private:
    QString inList(const QString &column, const QStringList &codes);
    QStringList m_clauses;
    QVariantMap m_values;
    QVector<QStringList> m_lists;
};

QSqlQuery run(QSqlDatabase &db, const QString &sql, const Filter &f);
// Reads every row: column i of the statement goes to field i of the packet. An
// error while reading is an error, never a shorter packet.
void checkRead(const QSqlQuery &q);
wire::DataPacket readPacket(QSqlQuery &q, const QVector<wire::FieldDef> &fields);
QVariant cell(const QVariant &v, wire::FieldKind k);
// The same value written straight into a packet being built: no value made
// in between, and a text the driver holds is encoded where it lies.
void writeCell(wire::PacketWriter &pw, const QVariant &v, wire::FieldKind k);

}  // namespace trq01300
