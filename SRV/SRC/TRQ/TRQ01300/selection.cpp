#include "selection.h"

namespace trq01300 {

QStringList parseSituation(const QString &s)
{
    QStringList out;
    for (const QString &p : s.split(QLatin1Char('_'), Qt::SkipEmptyParts))
        if (!p.trimmed().isEmpty()) out << p.trimmed();
    return out;
}

}  // namespace trq01300
