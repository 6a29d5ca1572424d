#include "selection.h"

namespace trq01300 {

QStringList parseSituation(const QString &s)
{
    QStringList out;
    for (const QString &p : s.split(QLatin1Char('_'), Qt::SkipEmptyParts))
        if (!p.trimmed().isEmpty()) out << p.trimmed();
    return out;
}

QString reasonKeySql(const QString &typeColumn, const QString &reasonColumn)
{
    return QStringLiteral("(%1 || '%2' || %3)").arg(typeColumn, QString(QLatin1Char(kReasonKeySeparator)), reasonColumn);
}

QString joinedReasonKeySql(const QString &typeColumn, const QString &reasonColumn)
{
    return QStringLiteral("(%1 || %2)").arg(typeColumn, reasonColumn);
}

ReasonKeys splitReasonKeys(const QStringList &keys)
{
    ReasonKeys out;
    for (const QString &k : keys) (k.contains(QLatin1Char(kReasonKeySeparator)) ? out.exact : out.joined) << k;
    return out;
}

}  // namespace trq01300
