#include "selectionstring.h"

namespace wire {

QString joinSelection(const QStringList &codes)
{
    QStringList parts;
    for (QString c : codes) parts << QLatin1Char('\'') + c.replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
    return parts.join(QLatin1Char(','));
}

QStringList parseSelection(const QString &sel)
{
    QStringList out;
    const QString s = sel.trimmed();
    if (s.isEmpty()) return out;
    if (!s.startsWith(QLatin1Char('\''))) {
        // A bare list of codes separated by commas.
        for (const QString &p : s.split(QLatin1Char(','), Qt::SkipEmptyParts))
            if (!p.trimmed().isEmpty()) out << p.trimmed();
        return out;
    }
    int i = 0;
    while (i < s.size()) {
        if (s.at(i) != QLatin1Char('\'')) { ++i; continue; }
        QString code;
        ++i;
        bool closed = false;
        while (i < s.size()) {
            if (s.at(i) == QLatin1Char('\'')) {
                if (i + 1 < s.size() && s.at(i + 1) == QLatin1Char('\'')) { code += QLatin1Char('\''); i += 2; continue; }
                ++i;
                closed = true;
                break;
            }
            code += s.at(i++);
        }
        out << code;
        if (!closed) break;
    }
    return out;
}

}  // namespace wire
