#include "sqlpacket.h"
#include "codec.h"
#include "selection.h"

#include <QSqlError>
#include <cmath>

namespace trq01300 {

QString Filter::bind(const QVariant &v)
{
    const QString name = QStringLiteral(":F%1").arg(m_values.size());
    m_values.insert(name, v);
    return name;
}

void Filter::addIn(const QString &column, const QStringList &codes)
{
    if (codes.isEmpty()) {
        add(QStringLiteral("1 = 0"));
        return;
    }
    QStringList marks;
    for (const QString &c : codes) marks << bind(c);
    add(QStringLiteral("%1 IN (%2)").arg(column, marks.join(QLatin1Char(','))));
}

void Filter::addSelection(const QString &column, const QString &selection, const QString &flag)
{
    if (flag.trimmed() == QLatin1String("T")) return;
    addIn(column, parseSelection(selection));
}

QString Filter::where() const
{
    return m_clauses.isEmpty() ? QString() : QStringLiteral(" WHERE ") + m_clauses.join(QStringLiteral(" AND "));
}

void Filter::applyTo(QSqlQuery &q) const
{
    for (auto it = m_values.cbegin(); it != m_values.cend(); ++it) q.bindValue(it.key(), it.value());
}

QSqlQuery run(QSqlDatabase &db, const QString &sql, const Filter &f)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql)) throw DbError(q.lastError().text().toStdString());
    f.applyTo(q);
    if (!q.exec()) throw DbError(q.lastError().text().toStdString());
    return q;
}

QVariant cell(const QVariant &v, wire::FieldKind k)
{
    if (!v.isValid() || v.isNull()) return {};
    switch (k) {
    case wire::FieldKind::Float: return v.toDouble();
    case wire::FieldKind::DateTime: {
        const double ole = wire::oleFromSql(v);
        return std::isnan(ole) ? QVariant() : QVariant(ole);
    }
    default: return v.toString();
    }
}

wire::DataPacket readPacket(QSqlQuery &q, const QVector<wire::FieldDef> &fields)
{
    wire::DataPacket p;
    p.fields = fields;
    const int n = fields.size();
    while (q.next()) {
        wire::Row r(n);
        for (int i = 0; i < n; ++i) r[i] = cell(q.value(i), fields[i].kind);
        p.rows.push_back(std::move(r));
    }
    return p;
}

}  // namespace trq01300
