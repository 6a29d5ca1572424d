#include "sqlpacket.h"
#include "oledate.h"
#include "selection.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QSqlDriver>
#include <QSqlError>
#include <cmath>
#include <optional>

namespace trq01300 {

QString Filter::bind(const QVariant &v)
{
    const QString name = QStringLiteral(":F%1").arg(m_values.size());
    m_values.insert(name, v);
    return name;
}

namespace {
// Where a bound list goes in a statement, replaced by the kind's own reading of it.
QString listMark(int i) { return QStringLiteral("{list%1}").arg(i); }
}  // namespace

namespace {
void requireBounded(qsizetype codes)
{
    if (codes > kMaxSelectionCodes)
        throw BadValue(QStringLiteral("Seleção grande demais: no máximo %1 códigos por critério.")
                           .arg(QLocale(QLocale::Portuguese, QLocale::Brazil).toString(kMaxSelectionCodes)));
}
}  // namespace

QString Filter::inList(const QString &column, const QStringList &codes)
{
    m_lists << codes;
    return QStringLiteral("%1 IN (%2)").arg(column, listMark(m_lists.size() - 1));
}

void Filter::addIn(const QString &column, const QStringList &codes)
{
    if (codes.isEmpty()) {
        add(QStringLiteral("1 = 0"));
        return;
    }
    requireBounded(codes.size());
    add(inList(column, codes));
}

void Filter::addAnyIn(const QVector<QPair<QString, QStringList>> &columnCodes)
{
    qsizetype total = 0;
    for (const auto &cc : columnCodes) total += cc.second.size();
    requireBounded(total);
    QStringList any;
    for (const auto &cc : columnCodes)
        if (!cc.second.isEmpty()) any << inList(cc.first, cc.second);
    add(any.isEmpty() ? QStringLiteral("1 = 0") : QStringLiteral("(") + any.join(QStringLiteral(" OR ")) + QLatin1Char(')'));
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

namespace {
bool onPostgres(const QSqlDatabase &db) { return db.driverName() == QLatin1String("QPSQL"); }
}  // namespace

QString Filter::sqlFor(const QSqlDatabase &db, const QString &sql) const
{
    QString out = sql;
    for (int i = 0; i < m_lists.size(); ++i) {
        // SQLite reads a JSON array, PostgreSQL a text split at the unit separator
        // (control characters never reach a statement).
        out.replace(listMark(i), onPostgres(db) ? QStringLiteral("SELECT UNNEST(STRING_TO_ARRAY(:L%1, CHR(31)))").arg(i)
                                                : QStringLiteral("SELECT value FROM json_each(:L%1)").arg(i));
    }
    return out;
}

void Filter::applyTo(QSqlQuery &q, const QSqlDatabase &db) const
{
    for (auto it = m_values.cbegin(); it != m_values.cend(); ++it) q.bindValue(it.key(), it.value());
    for (int i = 0; i < m_lists.size(); ++i) {
        const QString list = onPostgres(db) ? m_lists[i].join(QChar(31))
                                            : QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(m_lists[i]))
                                                                    .toJson(QJsonDocument::Compact));
        q.bindValue(QStringLiteral(":L%1").arg(i), list);
    }
}

QSqlQuery run(QSqlDatabase &db, const QString &sql, const Filter &f)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(f.sqlFor(db, sql))) throw DbError(q.lastError().text().toStdString());
    f.applyTo(q, db);
    if (!q.exec()) throw DbError(q.lastError().text().toStdString());
    return q;
}

// A number a desktop takes: a date from year 100 to 9999 (the database may
// hold others), a finite value (PostgreSQL's may be NaN or infinite). Any
// other goes as an empty cell rather than making the whole reply unreadable.
namespace {
std::optional<double> number(const QVariant &v, wire::FieldKind k)
{
    if (k == wire::FieldKind::DateTime) {
        const double ole = wire::oleFromSql(v);
        return wire::isOleDate(ole) ? std::optional<double>(ole) : std::nullopt;
    }
    const double d = v.toDouble();
    return std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
}
}  // namespace

QVariant cell(const QVariant &v, wire::FieldKind k)
{
    if (!v.isValid() || v.isNull()) return {};
    switch (k) {
    case wire::FieldKind::Float:
    case wire::FieldKind::DateTime: {
        const auto d = number(v, k);
        return d ? QVariant(*d) : QVariant();
    }
    default: return v.toString();
    }
}

void writeCell(wire::PacketWriter &pw, const QVariant &v, wire::FieldKind k)
{
    if (!v.isValid() || v.isNull()) return pw.null();
    switch (k) {
    case wire::FieldKind::Float:
    case wire::FieldKind::DateTime: {
        const auto d = number(v, k);
        return d ? pw.number(*d) : pw.null();
    }
    default:
        if (v.metaType() == QMetaType::fromType<QString>()) return pw.text(*static_cast<const QString *>(v.constData()));
        return pw.text(v.toString());
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
    checkRead(q);
    return p;
}

void checkRead(const QSqlQuery &q)
{
    // next() answers false both at the end and on a failure: only the error tells them apart.
    if (q.lastError().isValid()) throw DbError(q.lastError().text().toStdString());
}

}  // namespace trq01300
