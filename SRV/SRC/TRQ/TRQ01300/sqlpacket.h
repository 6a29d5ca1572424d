#pragma once
// Building data packets from statements, with filters bound as parameters.
#include "datapacket.h"
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QVariantMap>
#include <stdexcept>

namespace trq01300 {

// A database failure, reported to the caller as an error reply.
struct DbError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// WHERE clauses with their bound values.
class Filter {
public:
    void add(const QString &clause) { m_clauses << clause; }
    QString bind(const QVariant &v);  // returns the placeholder
    // column IN (codes); no codes matches nothing.
    void addIn(const QString &column, const QStringList &codes);
    // Restricts by the codes of a selection unless the flag is "T".
    void addSelection(const QString &column, const QString &selection, const QString &flag);
    QString where() const;
    void applyTo(QSqlQuery &q) const;
private:
    QStringList m_clauses;
    QVariantMap m_values;
};

QSqlQuery run(QSqlDatabase &db, const QString &sql, const Filter &f);
// Reads every row: column i of the statement goes to field i of the packet.
wire::DataPacket readPacket(QSqlQuery &q, const QVector<wire::FieldDef> &fields);
QVariant cell(const QVariant &v, wire::FieldKind k);

}  // namespace trq01300
